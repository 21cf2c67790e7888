// The program's own texts: message boxes, status lines and their formats.
// "\r\n" separates lines; each front end converts line ends at its edge.
// %s and %d are filled with Format() (platform/u16_format.h). Each is a
// Text: its English is in po/en.po (see docs/translations.md).
#ifndef VELMORA_JOB_MESSAGES_H_
#define VELMORA_JOB_MESSAGES_H_

#include "platform/catalogue.h"
#include "platform/version.h"

namespace velmora::text {

// The path box's placeholder; a target typed as this text is never checked
// as a path, on the desktop or by velmora-cli.
inline constexpr Text kDropHere = u"ここにドロップして下さい";

// --- Run checks, warnings and summary --------------------------------------
inline constexpr Text kPathMissing =  // P1
    u"指定されたパスは存在しません。ディレクトリ名をお確かめ下さい。\r\n\r\n[入力文字]\r\n%s";
inline constexpr Text kPathIsFile =  // P2
    u"ファイル指定には対応しておりません。ディレクトリ名を指定して下さい。\r\n\r\n[入力文字]\r\n%s";
inline constexpr Text kNothingToEncrypt =  // E1
    u"ファイルが存在しないか、又はすべてのファイルが暗号化されています。\r\n処理対象はありません。";
inline constexpr Text kNothingToDecrypt =  // E2
    u"ファイルが存在しないか、又はすべてファイルは暗号解除済みです。\r\n処理対象はありません。";
inline constexpr Text kMixedEncrypted =  // W1
    u"ディレクトリには、既に暗号化されているファイルが%dファイル含まれています。"
    u"\r\nこれらのファイルに適用されているパスワードと今回のパスワードが同じであれば問題ありません"
    u"。"
    u"\r\n１つのディレクトリに2種類のパスワードを使用すると、暗号[解除]に失敗します。"
    u"\r\n処理を継続しても良いですか？";
inline constexpr Text kMixedPlain =  // W2
    u"ディレクトリには、暗号解除済みファイルが%dファイル含まれています。"
    u"\r\n処理を継続しますか？";
inline constexpr Text kAllDone =  // S1
    u"全て正常に処理しました。\r\n%d / %dファイル";
inline constexpr Text kSomeDone =  // S2
    u"%d ファイル中 %d ファイル処理しました。";
inline constexpr Text kWaiting =  // T
    u"待機中（プログラム終了を合図として、対象ディレクトリの暗号化処理を行います。）";
inline constexpr Text kProcessingComplete = u"処理完了";

// --- Scan ------------------------------------------------------------------
inline constexpr Text kSearching = u"ファイル検索中";
inline constexpr Text kSearchingCount = u"ファイル検索中\u3000%d";
inline constexpr Text kSearchComplete = u"検索完了";
inline constexpr Text kFilesFound = u"%d\u3000ファイル見つかりました。";
inline constexpr Text kFileTooLarge =
    u"本バージョンでは、このファイルは対応できません。"
    u"\r\nファイルサイズが大きすぎます。";
inline constexpr Text kFileOverWholeLimit =
    u"本バージョンでは、このファイルは対応できません。"
    u"\r\nファイルの拡張子を\"ZIP\"等に変更し暗号化範囲を変更するか、ファイルサイズを%"
    u"dMバイト以下にして下さい。";
inline constexpr Text kPathBlock = u"\r\n\r\nファイルパス\r\n%s\r\nファイル名\r\n%s";

// --- Per-entry operation ---------------------------------------------------
inline constexpr Text kProcessing = u"処理中です\u3000%d / %d";
inline constexpr Text kDetail =  // D
    u"ファイルパス\r\n%s\r\nファイル名\r\n%s";
inline constexpr Text kAttributeFailed =  // F0
    u"ファイルの属性変更に失敗しました。ファイルがロックされている可能性があります。\r\nリトライし"
    u"ますか？\r\n\r\n";
inline constexpr Text kOpenFailed =  // F1
    u"ファイルオープンに失敗しました。ファイル内容の暗号化/"
    u"暗号解除は行われていません。\r\nリトライしますか？\r\n\r\n";
inline constexpr Text kReadFailed =  // then D, then kReason
    u"ファイル内容の読み込みに失敗しました。ファイルは元の名前と内容のままです。\r\nリトライします"
    u"か？\r\n\r\n";
inline constexpr Text kWriteFailed =  // then D, then kReason
    u"ファイル内容の書き込みに失敗しました。書き込んだ部分は元に戻し、ファイルは元の名前と内容のま"
    u"まです。"
    u"\r\nリトライしますか？\r\n\r\n";
inline constexpr Text kStatusNotRestored =
    u"ファイルの属性と日時を元に戻せませんでした。ファイル名と内容の変換は完了しています。\r\n\r\n";
inline constexpr Text kFolderUnreadable =  // then D, then kReason
    u"フォルダの内容を読み取れないため、このフォルダとその中身は処理していません。"
    u"\r\nリトライしますか？\r\n\r\n";
inline constexpr Text kReason =  // the system's reason
    u"\r\n\r\n理由\r\n%s";
inline constexpr Text kOtherFileSystem =  // then D
    u"このフォルダは対象フォルダとは別のファイルシステム (マウントポイント) にあるため、"
    u"このフォルダとその中身は処理していません。\r\n\r\n";
inline constexpr Text kLinkedOutside =  // then D
    u"このファイルには対象フォルダの外にも名前 (ハードリンク) があります。"
    u"内容を変えると外の名前の内容も変わるため、処理していません。\r\n\r\n";
inline constexpr Text kChangedDuringRun =  // then D
    u"処理中にファイルが変更されました (サイズ、日時またはファイルそのもの)。"
    u"ファイルは元の名前と内容のままです。\r\nリトライしますか？\r\n\r\n";
inline constexpr Text kSourceGone =  // R1
    u"ファイル名の変換エラー。\r\n対象ファイルは存在しません。\r\nリトライしますか？\r\n\r\n";
inline constexpr Text kRenameFailed =  // R2
    u"ファイル名のリネームに失敗しました。ファイルがロックされている可能性があります。\r\nリトライ"
    u"しますか？\r\n\r\n";
inline constexpr Text kTargetExists =  // R3: word, kind; then detail
    u"既に%s後の%sが存在しています。\r\n削除してリトライしますか？\r\n\r\n";
inline constexpr Text kTargetExistsDetail = u"%sパス\r\n%s\r\nディレクトリ名\r\n%s";
inline constexpr Text kRemoveFailed =  // R4: kind; then detail
    u"%sの削除ができませんでした。\r\n\r\n";
inline constexpr Text kRemoveFailedDetail = u"%sパス\r\n%s\r\nファイル名\r\n%s";
inline constexpr Text kKindDirectory = u"ディレクトリ";
inline constexpr Text kKindFile = u"ファイル";
inline constexpr Text kWordEncryption = u"暗号化";
inline constexpr Text kWordDecryption = u"暗号解除";

// --- Problem prompts, by name-conversion error code -------------------------
// Each reason is followed by kSkipQuestion.
inline constexpr Text kSkipQuestion =
    u"\r\nスキップして処理を継続しますか？\r\n\r\nファイルパス\r\n%s\r\nファイル名\r\n%s";
inline constexpr Text kWrongPassword =  // 1
    u"次のファイルは、パスワードが一致しないため暗号解除できません。";
inline constexpr Text kUnrepresentableName =  // 2
    u"次のファイルは、ファイル名に使用できない文字が含まれているため、暗号化できません。";
inline constexpr Text kInvalidName =  // 3 and 7
    u"次のファイルは不正なファイル名です。暗号解除できません。";
inline constexpr Text kAlreadyEncrypted =  // 4
    u"次のファイルは既に暗号化されているので、暗号化できません。";
inline constexpr Text kNameTooLong =  // 5
    u"次のファイルはファイル名が長すぎるので、ファイル名の置換ができません。";
inline constexpr Text kNotEncrypted =  // 6
    u"次のファイルは暗号化されていないファイルなので、暗号解除できません。";
inline constexpr Text kUnsupportedVersion =  // 8
    u"次のファイルは不正なバージョンを示しています。暗号解除できません。";
inline constexpr Text kUnexpectedError =  // 9
    u"予期せぬエラーです。暗号解除できません。";
inline constexpr Text kDontShowAgain = u"以降このメッセージを表示しないようにしますか？";

// --- State kept outside the tree: journal, repair, run lock -------------------
inline constexpr Text kHoldsStateFolder =  // state folder; input
    u"指定されたディレクトリには、Velmoraの作業記録を保存する状態フォルダが含まれているため、処理で"
    u"きません。"
    u"\r\n状態フォルダを含まないディレクトリを指定して下さい。\r\n\r\n状態フォルダ\r\n%s\r\n\r\n["
    u"入力文字]\r\n%s";
inline constexpr Text kInsideStateFolder =  // state folder; input
    u"指定されたディレクトリは、Velmoraの作業記録を保存する状態フォルダの中にあるため、処理できませ"
    u"ん。"
    u"\r\n状態フォルダの外にあるディレクトリを指定して下さい。\r\n\r\n状態フォルダ\r\n%s\r\n\r\n["
    u"入力文字]\r\n%s";
inline constexpr Text kSystemFolder =  // input
    u"システムのフォルダ、またはその中のフォルダは処理できません。"
    u"\r\n\r\n[入力文字]\r\n%s";
inline constexpr Text kTopFolder =  // input
    u"このフォルダ自体は処理できません。その中のフォルダを指定して下さい。"
    u"\r\n\r\n[入力文字]\r\n%s";
inline constexpr Text kTreeInUse =  // the folder another run holds
    u"指定されたディレクトリは、別のVelmoraの処理で使用中です。\r\nその処理が終わってから、もう一度"
    u"実行して下さい。"
    u"\r\n\r\n使用中のディレクトリ\r\n%s";
inline constexpr Text kMediaRefused =  // the driver; what failed
    u"このディレクトリのファイルシステムは、暗号化したファイル名をそのまま保存できないため、暗号化"
    u"できません。何も変更していません。"
    u"\r\next4、xfs、btrfs、または ntfs-3g で接続した NTFS 上のディレクトリを指定して下さい。"
    u"FAT/exFAT のメディアでは、イメージファイルの中に Linux のファイルシステムを作成して使用して"
    u"下さい。"
    u"\r\n\r\nファイルシステム\r\n%s\r\n\r\n理由\r\n%s";
inline constexpr Text kMediaChangesNames =  // the driver; what failed
    u"このディレクトリのファイルシステムは、暗号化したファイル名をそのまま保存できません。"
    u"\r\n名前が変わったファイルは暗号解除できないため、そのまま残します。ファイルごとの確認は表示"
    u"しません。"
    u"\r\nファイル名を保持できるファイルシステム (ntfs-3g など) "
    u"で接続し直してから、もう一度暗号解除"
    u"して下さい。"
    u"\r\n\r\nファイルシステム\r\n%s\r\n\r\n理由\r\n%s";
inline constexpr Text kProbeNotCreated =  // the system's reason
    u"試験用の名前のファイルを作成できませんでした (%s)。";
inline constexpr Text kProbeNotListed =  // the system's reason
    u"試験用のフォルダの内容を読み取れませんでした (%s)。";
inline constexpr Text kProbeChanged =
    u"試験用のファイル名が、別の名前 (大文字・小文字の違い、文字の置き換えなど) になって戻りました"
    u"。";
inline constexpr Text kProbeNotRenamed =  // the system's reason
    u"試験用のファイルの名前を変更できませんでした (%s)。";
inline constexpr Text kProbeNotRemoved =  // the system's reason
    u"試験用のファイルを削除できませんでした (%s)。";
inline constexpr Text kStateFolderFailed =  // state folder
    u"状態フォルダに作業記録を書き込めないため、処理を行いません。"
    u"\r\n\r\n状態フォルダ\r\n%s";
inline constexpr Text kStateFolderFailedDuringRun =  // state folder
    u"状態フォルダに作業記録を書き込めなくなったため、ここで処理を中断しました。"
    u"\r\nここまでに処理したファイルは処理済みです。残りのファイルは変更していません。"
    u"\r\n\r\n状態フォルダ\r\n%s";
inline constexpr Text kRepaired =  // one path per line
    u"前回中断された処理を修復しました。次のファイルを処理前の状態に戻しました。\r\n\r\n%s";
inline constexpr Text kRepairWrongPassword =
    u"前回中断された処理を修復できません。パスワードが、中断された処理のパスワードと一致しません。"
    u"\r\n中断された処理と同じパスワードで、もう一度実行して下さい。何も変更していません。";
inline constexpr Text kRepairFailed =  // one path per line
    u"前回中断された処理を修復できませんでした。次のファイルはそのまま残しています。"
    u"\r\n同じパスワードで、もう一度実行して下さい。\r\n\r\n%s";
inline constexpr Text kRepairStopped =
    u"前回中断された処理の修復を、途中で中止しました。失われたものはありません。"
    u"\r\n次回、同じパスワードで実行すると、残りが修復されます。";
inline constexpr Text kRepairTreeAbove =  // the folder
    u"上位のディレクトリで中断された処理があります。先にそのディレクトリを同じパスワードで処理して"
    u"下さい。"
    u"\r\n\r\n中断されたディレクトリ\r\n%s";
inline constexpr Text kPasswordDiffers =
    u"パスワードが、このディレクトリを暗号化したときのパスワードと異なります。"
    u"\r\n正しいパスワードで、もう一度実行して下さい。何も変更していません。";
inline constexpr Text kPasswordUnchecked =
    u"このディレクトリの暗号化されたファイル名では、パスワードの一部を確認できません。"
    u"\r\nこのアカウントには、このパスワードの記録もありません。"
    u"\r\nパスワードを間違えている場合、ファイルの内容は壊れたまま暗号解除されます。"
    u"\r\nこのパスワードで処理を継続しますか？";
inline constexpr Text kPasswordUnproven =
    u"このアカウントにはこのパスワードの記録がありますが、このディレクトリを暗号化したという記録は"
    u"ありません。"
    u"\r\n("
    u"ディレクトリが移動またはコピーされたか、記録が古いバージョンのものである可能性があります。)"
    u"\r\n一部だけ異なる別のパスワードで暗号化されたディレクトリの場合、ファイルの内容は壊れたまま"
    u"暗号解除されます。"
    u"\r\nこのパスワードで処理を継続しますか？";
inline constexpr Text kPasswordNotRecorded =  // state folder
    u"パスワードの記録を状態フォルダに保存できませんでした。暗号化は完了しています。"
    u"\r\n次回の暗号解除では、パスワードを確認できないため、処理を継続するかどうか確認します"
    u"\r\n(velmora-cli では --trust-password の指定が必要です)。"
    u"\r\n\r\n状態フォルダ\r\n%s";
inline constexpr Text kContentLeftForRepair =  // then D
    u"ファイル内容の暗号化/暗号解除に失敗し、元に戻すこともできませんでした。"
    u"\r\n次回、同じパスワードで実行すると修復されます。\r\n\r\n";
inline constexpr Text kLeftDecrypted =  // the folder
    u"次のディレクトリは、一時的暗号解除のまま終了したため、暗号解除されたままです。暗号化して下さ"
    u"い。"
    u"\r\n\r\n%s";

// --- Main dialog -----------------------------------------------------------
inline constexpr Text kStarted = u"Velmora起動しました。\r\nVersion %s";
inline constexpr Text kVersion = u"" VELMORA_VERSION_SHORT;
inline constexpr Text kStartupComplete = u"起動完了";
inline constexpr Text kInvalidPath = u"無効なパスです。";
inline constexpr Text kFileNotSupported =
    u"ファイル指定はサポートしておりませんので、ディレクトリを指定して下さい。";

// What the password dialog says of the password typed (PasswordProblem).
inline constexpr Text kPasswordTooLong = u"パスワードが長すぎます。";
inline constexpr Text kPasswordTooShort = u"パスワードが短すぎます。";
inline constexpr Text kPasswordMismatch = u"パスワードが違います。";

}  // namespace velmora::text

#endif  // VELMORA_JOB_MESSAGES_H_
