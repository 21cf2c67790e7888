// velmora-cli's own texts, next to the program's shared ones in
// job/messages.h.
#ifndef VELMORA_CLI_CONSOLE_TEXTS_H_
#define VELMORA_CLI_CONSOLE_TEXTS_H_

namespace velmora::cli::console_text {

// Answer names, for the "-> ..." log line under a question.
inline constexpr char16_t kAnswerOk[] = u"OK";
inline constexpr char16_t kAnswerYes[] = u"はい";
inline constexpr char16_t kAnswerNo[] = u"いいえ";
inline constexpr char16_t kAnswerAbort[] = u"中止";
inline constexpr char16_t kAnswerRetry[] = u"再試行";
inline constexpr char16_t kAnswerIgnore[] = u"無視";
inline constexpr char16_t kAnswerArrow[] = u"-> ";

// Button letters offered on the terminal.
inline constexpr char kChoiceYesNo[] = "[y=はい / n=いいえ] ";
inline constexpr char kChoiceAbortRetryIgnore[] =
    "[a=中止 / r=再試行 / i=無視] ";
inline constexpr char kChoiceAbortIgnore[] = "[a=中止 / i=無視] ";

// The password prompt; labels and warning as in the password dialog.
inline constexpr char kPasswordHeading[] = "パスワードを入力してください";
inline constexpr char kPasswordWarning[] =
    "★★★パスワードを間違えた場合、データは失われます。ご注意下さい★★★";
inline constexpr char kPasswordLabel[] = "パスワード: ";
inline constexpr char kConfirmLabel[] = "パスワード（確認用）: ";
inline constexpr char16_t kNoPassword[] = u"パスワードが入力されませんでした。";
inline constexpr char16_t kNoTerminal[] =
    u"端末がありません。--password-stdin でパスワードを渡して下さい。";

// Under the waiting line of a temporary decryption.
inline constexpr char16_t kWaitingHint[] =
    u"Enter キー、入力の終わり、Ctrl+C、SIGTERM または SIGHUP で、"
    u"再び暗号化して終了します。";

// After the warning about a tree left decrypted: how to encrypt it.
inline constexpr char16_t kEncryptItWith[] = u"暗号化するには: velmora-cli encrypt %s";

}  // namespace velmora::cli::console_text

#endif  // VELMORA_CLI_CONSOLE_TEXTS_H_
