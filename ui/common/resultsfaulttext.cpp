#include "common/resultsfaulttext.h"

#include <string_view>

#include <QCoreApplication>

namespace kelvora::ui {

QString ResultsFaultWords(kelvora::ResultsFaultKind kind) {
    // The source texts are the window's Japanese; the English translation of each is exactly the
    // reader's text for its kind, ResultsFaultEnglish (res/translations/kelvora_en.ts).
    using K = kelvora::ResultsFaultKind;
    switch (kind) {
    case K::none:
        return {};
    case K::fileEmpty:
        return QCoreApplication::translate("ResultsFault", "ファイルが空です");
    case K::lineTooLong:
        return QCoreApplication::translate("ResultsFault", "行が %1 バイトを超えています: results.csv の行ではありません");
    case K::endsInsideLine:
        return QCoreApplication::translate("ResultsFault", "ファイルがこの行の途中で終わっています");
    case K::noCrLf:
        return QCoreApplication::translate("ResultsFault", "行が CR LF で終わっていません");
    case K::carriageReturnInLine:
        return QCoreApplication::translate("ResultsFault", "行の途中に CR があります");
    case K::individualFieldCountOne:
        return QCoreApplication::translate("ResultsFault", "個体の行 (遺伝子,遺伝子,遺伝子,適応度 の 4 項目) のはずが %1 項目です");
    case K::individualFieldCount:
        return QCoreApplication::translate("ResultsFault", "個体の行 (遺伝子,遺伝子,遺伝子,適応度 の 4 項目) のはずが %1 項目あります");
    case K::geneMalformed:
        return QCoreApplication::translate("ResultsFault", "遺伝子 %1 が %2 です: 0～255 の整数のはずです");
    case K::fitnessMalformed:
        return QCoreApplication::translate("ResultsFault", "適応度が %1 です: %g で書いた (0, 1] の数のはずです");
    case K::summaryFieldCountOne:
        return QCoreApplication::translate("ResultsFault", "要約の行 (最良の番号,最良,平均 の 3 項目) のはずが %1 項目です");
    case K::summaryFieldCount:
        return QCoreApplication::translate("ResultsFault", "要約の行 (最良の番号,最良,平均 の 3 項目) のはずが %1 項目あります");
    case K::summaryIndexMalformed:
        return QCoreApplication::translate("ResultsFault", "要約の最良の番号が %1 です: 0～%2 の整数のはずです");
    case K::summaryBestMalformed:
        return QCoreApplication::translate("ResultsFault", "要約の最良が %1 です: %g で書いた (0, 1] の数のはずです");
    case K::summaryAverageMalformed:
        return QCoreApplication::translate("ResultsFault", "要約の平均が %1 です: %g で書いた (0, 1] の数のはずです");
    case K::fitnessMismatch:
        return QCoreApplication::translate("ResultsFault", "適応度 %1 が遺伝子と合いません: 目標点 %3,%4 では %2 のはずです");
    case K::noCompleteGeneration:
        return QCoreApplication::translate("ResultsFault", "最初の世代の要約の行より前でファイルが終わっています: 完全な世代がありません");
    case K::summaryFirst:
        return QCoreApplication::translate("ResultsFault", "最初の個体の行のはずの所に要約の行があります");
    case K::noSummaryLine:
        return QCoreApplication::translate("ResultsFault", "%1 個体の後に要約の行がありません: 一つの世代はそれより大きくなりません");
    case K::tooManyGenerations:
        return QCoreApplication::translate("ResultsFault", "%1 世代を超えています: 一回の計算はそれより長くなりません");
    case K::cancelled:
        return QCoreApplication::translate("ResultsFault", "中止しました");
    case K::populationOutOfRange:
        return QCoreApplication::translate("ResultsFault", "集団サイズ %1 が 1～%2 の範囲外です");
    case K::recordedIndexStart:
        return QCoreApplication::translate("ResultsFault", "記録した索引がバイト 0 から始まっていません");
    case K::recordedIndexTooLong:
        return QCoreApplication::translate("ResultsFault", "記録した索引が %1 世代を超えています");
    case K::recordedGenerationNotAtLine:
        return QCoreApplication::translate("ResultsFault", "記録した第 %1 世代が行の先頭から始まっていません (バイト %2)");
    case K::generationMissing:
        return QCoreApplication::translate("ResultsFault", "第 %1 世代はファイルにありません");
    case K::summaryIndexMismatch:
        return QCoreApplication::translate("ResultsFault", "要約の最良の番号 %1 が世代と合いません: %2 のはずです");
    case K::summaryBestMismatch:
        return QCoreApplication::translate("ResultsFault", "要約の最良 %1 が世代と合いません: %2 のはずです");
    case K::summaryAverageMismatch:
        return QCoreApplication::translate("ResultsFault", "要約の平均 %1 が世代と合いません: %2 のはずです");
    case K::cutShort:
        return QCoreApplication::translate("ResultsFault", "読んでいる間にファイルが短くなりました");
    case K::grown:
        return QCoreApplication::translate("ResultsFault", "読んでいる間にファイルが長くなりました");
    case K::replaced:
        return QCoreApplication::translate("ResultsFault", "読んでいる間にファイルが置き換えられました");
    case K::readFailed:
        return QCoreApplication::translate("ResultsFault", "ファイルのバイト %1 を読めません: %2");
    }
    return {};
}

QString ResultsFaultText(const kelvora::ResultsFault& fault) {
    const QByteArray words = ResultsFaultWords(fault.kind).toUtf8();
    return QString::fromStdString(kelvora::FillFaultFormat(
        std::string_view(words.constData(), static_cast<std::size_t>(words.size())), fault.arguments));
}

}  // namespace kelvora::ui
