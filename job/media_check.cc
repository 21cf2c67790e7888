#include "job/media_check.h"

#include <cstring>

#include "engine/crypter.h"
#include "job/messages.h"
#include "platform/folder.h"
#include "platform/mount_info.h"
#include "platform/u16_format.h"
#include "platform/wtf8.h"

namespace velmora {
namespace {

// Units enciphered names hold that drivers fold, convert or refuse: the
// marker, Latin, Greek and Cyrillic letters in both cases, lone high and
// low surrogates, the last unit of the alphabet, and a class character.
constexpr char16_t kFirstName[] = {kMarker, u'A',   0xD800, u'a',   0x03A9, 0x03C9,
                                   0x0416,  0x0436, 0xFFFE, 0xDC00, u'$'};
constexpr char16_t kSecondName[] = {kMarker, u'B',   0xD801, u'b',   0x0394, 0x03B4,
                                    0x0414,  0x0434, 0xFFFE, 0xDC01, u'#'};

std::u16string Reason(int error) { return Utf16FromWtf8(std::strerror(error)); }

std::u16string StepText(const ProbeResult& probe) {
  switch (probe.step) {
    case ProbeStep::kCreate:
      return Format(text::kProbeNotCreated, {Reason(probe.error)});
    case ProbeStep::kList:
      if (probe.error != 0) return Format(text::kProbeNotListed, {Reason(probe.error)});
      return std::u16string(text::kProbeChanged);
    case ProbeStep::kRename:
      return Format(text::kProbeNotRenamed, {Reason(probe.error)});
    case ProbeStep::kRemove:
      return Format(text::kProbeNotRemoved, {Reason(probe.error)});
    case ProbeStep::kPassed:
    case ProbeStep::kNoFolder:
      break;
  }
  return {};
}

}  // namespace

std::u16string MediaText(const ProbeResult& probe, const std::u16string& driver, bool encrypting) {
  return Format(encrypting ? text::kMediaRefused : text::kMediaChangesNames,
                {driver, StepText(probe)});
}

bool MediaAccepted(JobHost& host) {
  const Folder target = Folder::Open(Utf16FromWtf8(host.tree_real_path_));
  FileStatus status{};
  if (!target.IsOpen() || !target.Status(&status)) return true;  // the walk tells
  RemoveLeftoverProbe(target);
  const ProbeResult probe =
      ProbeNames(target, std::u16string(std::begin(kFirstName), std::end(kFirstName)),
                 std::u16string(std::begin(kSecondName), std::end(kSecondName)));
  if (probe.step == ProbeStep::kPassed || probe.step == ProbeStep::kNoFolder) return true;
  const bool encrypting = host.job_.mode == 0;
  const std::u16string driver = Utf16FromWtf8(DriverOf(status.mount_id, host.tree_real_path_));
  host.questions_->Notify(
      {.id = encrypting ? QuestionId::kMediaRefused : QuestionId::kMediaChangesNames,
       .text = MediaText(probe, driver, encrypting),
       .icon = encrypting ? Icon::kError : Icon::kWarning});
  if (encrypting) return false;
  // Said once above, with its reason, instead of for each name.
  host.job_.dont_show_again[ProblemCode(NameError::kWrongPassword)] = 1;
  return true;
}

}  // namespace velmora
