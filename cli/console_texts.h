// velmora-cli's own texts, next to the program's shared ones in
// job/messages.h. Each is a Text: its English is in po/en.po.
#ifndef VELMORA_CLI_CONSOLE_TEXTS_H_
#define VELMORA_CLI_CONSOLE_TEXTS_H_

#include "platform/catalogue.h"

namespace velmora::cli::console_text {

// Answer names, for the "-> ..." log line under a question.
inline constexpr Text kAnswerOk = u"OK";
inline constexpr Text kAnswerYes = u"はい";
inline constexpr Text kAnswerNo = u"いいえ";
inline constexpr Text kAnswerAbort = u"中止";
inline constexpr Text kAnswerRetry = u"再試行";
inline constexpr Text kAnswerIgnore = u"無視";
inline constexpr Text kAnswerArrow = u"-> ";

// Under a question velmora-cli refused by itself: the option that answers it.
inline constexpr Text kYesWouldAnswer =
    u"--yes を付けると、この警告に「はい」と答えて処理を継続します。";
inline constexpr Text kSkipWouldAnswer =
    u"--on-problem=skip を付けると、このような項目をスキップして処理を継続します。";
inline constexpr Text kSkipOrAskWouldAnswer =
    u"--on-problem=skip を付けると、このような項目をスキップして処理を継続します。"
    u"--on-problem=ask を付けると、端末で尋ねます。";
inline constexpr Text kTrustWouldAnswer =
    u"--trust-password を付けると、このパスワードで処理を継続します。";

// Button letters offered on the terminal.
inline constexpr Text kChoiceYesNo = u"[y=はい / n=いいえ] ";
// Enter alone answers いいえ.
inline constexpr Text kChoiceYesNoDefaultNo = u"[y=はい / N=いいえ] ";
inline constexpr Text kChoiceAbortRetryIgnore = u"[a=中止 / r=再試行 / i=無視] ";
inline constexpr Text kChoiceAbortIgnore = u"[a=中止 / i=無視] ";

// The password prompt; labels and warning as in the password dialog.
inline constexpr Text kPasswordHeading = u"パスワードを入力してください";
inline constexpr Text kPasswordWarning =
    u"★★★パスワードを間違えた場合、データは失われます。ご注意下さい★★★";
inline constexpr Text kPasswordLabel = u"パスワード: ";
inline constexpr Text kConfirmLabel = u"パスワード（確認用）: ";
inline constexpr Text kNoPassword = u"パスワードが入力されませんでした。";
inline constexpr Text kPasswordUnreadable = u"パスワードを読み込めませんでした。";
// Why no password came: its source held nothing before the end of input.
inline constexpr Text kPasswordSourceEmpty = u"空です";
// Where the password was to come from, as an error names it.
inline constexpr Text kStandardInput = u"標準入力";
inline constexpr Text kDescriptor = u"ファイル記述子 %d";
inline constexpr Text kNoTerminal =
    u"端末がありません。--password-stdin、--password-file または --password-fd "
    u"でパスワードを渡して下さい。";

// Under the waiting line of a temporary decryption.
inline constexpr Text kWaitingHint =
    u"Enter キー、入力の終わり、Ctrl+C、SIGTERM または SIGHUP で、"
    u"再び暗号化して終了します。";

// After the warning about a tree left decrypted: how to encrypt it.
inline constexpr Text kEncryptItWith = u"暗号化するには: velmora-cli encrypt %s";

// The progress line: entries found while scanning; entries done of those
// found while walking; the time left ("0:03").
inline constexpr Text kProgressScanning = u"検索中 %d 件";
inline constexpr Text kProgressEntries = u"%d/%d 件";
inline constexpr Text kProgressLeft = u"残り %s";

}  // namespace velmora::cli::console_text

#endif  // VELMORA_CLI_CONSOLE_TEXTS_H_
