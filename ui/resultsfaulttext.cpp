#include "resultsfaulttext.h"

#include <cstring>

#include <QCoreApplication>

namespace kelvora::ui {

namespace {

struct FaultWords {
    const char* english;   // as the reader writes it
    const char* japanese;  // the window's source text; its English translation is the reader's text
};

// clang-format off
constexpr FaultWords kWords[] = {
    {"the file is empty", QT_TRANSLATE_NOOP("ResultsFault", "ファイルが空です")},
    {"line is longer than %1 bytes: not a line of results.csv",
     QT_TRANSLATE_NOOP("ResultsFault", "行が %1 バイトを超えています: results.csv の行ではありません")},
    {"the file ends in the middle of this line", QT_TRANSLATE_NOOP("ResultsFault", "ファイルがこの行の途中で終わっています")},
    {"line does not end in CR LF", QT_TRANSLATE_NOOP("ResultsFault", "行が CR LF で終わっていません")},
    {"carriage return inside the line", QT_TRANSLATE_NOOP("ResultsFault", "行の途中に CR があります")},
    {"expected an individual line of 4 fields gene,gene,gene,fitness, found %1 field",
     QT_TRANSLATE_NOOP("ResultsFault", "個体の行 (遺伝子,遺伝子,遺伝子,適応度 の 4 項目) のはずが %1 項目です")},
    {"expected an individual line of 4 fields gene,gene,gene,fitness, found %1 fields",
     QT_TRANSLATE_NOOP("ResultsFault", "個体の行 (遺伝子,遺伝子,遺伝子,適応度 の 4 項目) のはずが %1 項目あります")},
    {"gene %1 is %2, expected a whole number 0..255",
     QT_TRANSLATE_NOOP("ResultsFault", "遺伝子 %1 が %2 です: 0～255 の整数のはずです")},
    {"fitness is %1, expected a number in (0, 1] as %g writes it",
     QT_TRANSLATE_NOOP("ResultsFault", "適応度が %1 です: %g で書いた (0, 1] の数のはずです")},
    {"expected the summary line of 3 fields bestIndex,best,average, found %1 field",
     QT_TRANSLATE_NOOP("ResultsFault", "要約の行 (最良の番号,最良,平均 の 3 項目) のはずが %1 項目です")},
    {"expected the summary line of 3 fields bestIndex,best,average, found %1 fields",
     QT_TRANSLATE_NOOP("ResultsFault", "要約の行 (最良の番号,最良,平均 の 3 項目) のはずが %1 項目あります")},
    {"summary best index is %1, expected a whole number 0..%2",
     QT_TRANSLATE_NOOP("ResultsFault", "要約の最良の番号が %1 です: 0～%2 の整数のはずです")},
    {"summary best is %1, expected a number in (0, 1] as %g writes it",
     QT_TRANSLATE_NOOP("ResultsFault", "要約の最良が %1 です: %g で書いた (0, 1] の数のはずです")},
    {"summary average is %1, expected a number in (0, 1] as %g writes it",
     QT_TRANSLATE_NOOP("ResultsFault", "要約の平均が %1 です: %g で書いた (0, 1] の数のはずです")},
    {"fitness %1 does not match its genes: expected %2 for the target %3,%4",
     QT_TRANSLATE_NOOP("ResultsFault", "適応度 %1 が遺伝子と合いません: 目標点 %3,%4 では %2 のはずです")},
    {"the file ends before the first generation's summary line: no complete generation",
     QT_TRANSLATE_NOOP("ResultsFault", "最初の世代の要約の行より前でファイルが終わっています: 完全な世代がありません")},
    {"a summary line where the first individual was expected",
     QT_TRANSLATE_NOOP("ResultsFault", "最初の個体の行のはずの所に要約の行があります")},
    {"no summary line after %1 individuals: a generation holds at most that many",
     QT_TRANSLATE_NOOP("ResultsFault", "%1 個体の後に要約の行がありません: 一つの世代はそれより大きくなりません")},
    {"more than %1 generations: a run has at most that many",
     QT_TRANSLATE_NOOP("ResultsFault", "%1 世代を超えています: 一回の計算はそれより長くなりません")},
    {"cancelled", QT_TRANSLATE_NOOP("ResultsFault", "中止しました")},
    {"population %1 is outside 1..%2", QT_TRANSLATE_NOOP("ResultsFault", "集団サイズ %1 が 1～%2 の範囲外です")},
    {"the recorded index does not start at byte 0",
     QT_TRANSLATE_NOOP("ResultsFault", "記録した索引がバイト 0 から始まっていません")},
    {"the recorded index has more than %1 generations",
     QT_TRANSLATE_NOOP("ResultsFault", "記録した索引が %1 世代を超えています")},
    {"recorded generation %1 does not start at a line (byte %2)",
     QT_TRANSLATE_NOOP("ResultsFault", "記録した第 %1 世代が行の先頭から始まっていません (バイト %2)")},
    {"generation %1 is not in the file", QT_TRANSLATE_NOOP("ResultsFault", "第 %1 世代はファイルにありません")},
    {"summary best index %1 does not match its generation: expected %2",
     QT_TRANSLATE_NOOP("ResultsFault", "要約の最良の番号 %1 が世代と合いません: %2 のはずです")},
    {"summary best %1 does not match its generation: expected %2",
     QT_TRANSLATE_NOOP("ResultsFault", "要約の最良 %1 が世代と合いません: %2 のはずです")},
    {"summary average %1 does not match its generation: expected %2",
     QT_TRANSLATE_NOOP("ResultsFault", "要約の平均 %1 が世代と合いません: %2 のはずです")},
};
// clang-format on

}  // namespace

const char* ResultsFaultSourceText(const char* format) {
    if (!format) return nullptr;
    for (const FaultWords& w : kWords)
        if (std::strcmp(w.english, format) == 0) return w.japanese;
    return nullptr;
}

QString ResultsFaultText(const kelvora::ResultsFault& fault) {
    const char* source = ResultsFaultSourceText(fault.format);
    if (!source) return QString::fromStdString(fault.message);
    const QByteArray words = QCoreApplication::translate("ResultsFault", source).toUtf8();
    return QString::fromStdString(kelvora::FillFaultFormat(std::string_view(words.constData(), static_cast<std::size_t>(words.size())), fault.arguments));
}

}  // namespace kelvora::ui
