#include "updater/Texts.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <stdexcept>
#include <string>

namespace {

// glibc's own UTF-8 to code page 932 conversion, independent of the escapes.
std::string ToCp932(const std::string& utf8) {
    const iconv_t converter = ::iconv_open("CP932", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("iconv has no CP932");
    std::string input = utf8;
    std::string output(input.size() * 2 + 1, '\0');
    char* in = input.data();
    char* out = output.data();
    std::size_t inLeft = input.size();
    std::size_t outLeft = output.size();
    const std::size_t result = ::iconv(converter, &in, &inLeft, &out, &outLeft);
    ::iconv_close(converter);
    if (result == static_cast<std::size_t>(-1))
        throw std::runtime_error("not convertible: " + utf8);
    output.resize(output.size() - outLeft);
    return output;
}

struct TextCase {
    const char* name;
    const char* bytes;
    const char* readable;
};

class Texts : public ::testing::TestWithParam<TextCase> {};

TEST_P(Texts, AreTheCodePage932BytesOfTheirReadableForm) {
    EXPECT_EQ(std::string(GetParam().bytes), ToCp932(GetParam().readable));
}

using namespace qx::texts;

INSTANTIATE_TEST_SUITE_P(
    All, Texts,
    ::testing::Values(
        TextCase{"AppTitle", kAppTitle, "Network Updator for Tavi"},
        TextCase{"MagicLine", kMagicLine, "*QXUpdateInstructionFile"},
        TextCase{"IniFileName", kIniFileName, "qxntupd.ini"},
        TextCase{"TempFileName", kTempFileName, "qxupdfl.tmp"},
        TextCase{"IniSection", kIniSection, "Instruction"}, TextCase{"IniKeyUrl", kIniKeyUrl, "URL"},
        TextCase{"IniKeyKey", kIniKeyKey, "KEY"}, TextCase{"IniKeyStartApp", kIniKeyStartApp, "STARTAPP"},
        TextCase{"BytesSuffix", kBytesSuffix, " bytes."},
        TextCase{"LabelInstructionUrl", kLabelInstructionUrl, "Update instruction file URL"},
        TextCase{"LabelStatus", kLabelStatus, "Update status"},
        TextCase{"LabelErrorLog", kLabelErrorLog, "Error Log"},
        TextCase{"ButtonCancel", kButtonCancel, "Cancel"},
        TextCase{"DownloadingInstructionFile", kDownloadingInstructionFile,
                 "更新指示ファイルをダウンロード中"},
        TextCase{"UpdateCancelled", kUpdateCancelled, "更新はキャンセルされました。"},
        TextCase{"AskLaunchAfterAbort", kAskLaunchAfterAbort,
                 "更新を中止しました。\nアップデータを終了し、マスコットを起動しますか？"},
        TextCase{"AlreadyUpToDate", kAlreadyUpToDate, "更新済みです。"},
        TextCase{"UpToDateLaunching", kUpToDateLaunching, "更新済みです。\nマスコットを起動します。"},
        TextCase{"AskUpdate", kAskUpdate, "更新を行います。よろしいですか？"},
        TextCase{"DeclinedLaunching", kDeclinedLaunching, "更新を中止しました。\nマスコットを起動します。"},
        TextCase{"UpdateStarting", kUpdateStarting, "更新開始..."},
        TextCase{"FilesUpdatedSuffix", kFilesUpdatedSuffix, " 個のファイルを更新しました。"},
        TextCase{"UpdateCompletedNormally", kUpdateCompletedNormally, "正常にファイルの更新を完了しました。"},
        TextCase{"EndingUpdate", kEndingUpdate, "更新処理を終了します。"},
        TextCase{"CompletedLaunching", kCompletedLaunching, "更新を完了しました。\nマスコットを起動します。"},
        TextCase{"FilesFailedSuffix", kFilesFailedSuffix, " 個のファイルの更新に失敗しました。"},
        TextCase{"AskLaunchAfterFailures", kAskLaunchAfterFailures,
                 "更新処理を行いましたが、いくつかのファイルは更新できませんでした。\nアップデータを終了し、"
                 "マスコットを起動しますか？"},
        TextCase{"ErrorDocumentNotFetched", kErrorDocumentNotFetched, "ドキュメントを取得できませんでした。"},
        TextCase{"ErrorNotConnected", kErrorNotConnected, "インターネットに接続されていません。"},
        TextCase{"ErrorHttpComponent", kErrorHttpComponent, "HTTPコンポーネント異常により取得失敗。"},
        TextCase{"ErrorNoMagicLine", kErrorNoMagicLine, "更新指示ファイルが正しくありません。"},
        TextCase{"ErrorBadCommand", kErrorBadCommand, "更新指示ファイルの命令が正しくありません。"},
        TextCase{"ErrorUnknownCode", kErrorUnknownCode, "存在しないエラーコード"},
        TextCase{"StatusDownloading", kStatusDownloading, "ダウンロード中:> "},
        TextCase{"StatusUpdated", kStatusUpdated, "更新成功:> "},
        TextCase{"StatusFailed", kStatusFailed, "更新失敗:> "},
        TextCase{"StatusCancelled", kStatusCancelled, "更新キャンセル:> "},
        TextCase{"ConfirmCancel", kConfirmCancel, "ダウンロードを中止します。よろしいですか？"},
        TextCase{"FontName", kFontName, "ＭＳ Ｐゴシック"}),
    [](const ::testing::TestParamInfo<TextCase>& info) { return std::string(info.param.name); });

} // namespace
