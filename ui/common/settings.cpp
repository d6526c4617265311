#include "common/settings.h"

#include <string>

namespace kelvora::ui {

namespace {

// Each key with its parser and its spelling.
struct AlgorithmKey {
    const char* key;
    std::string (*parse)(std::string_view, kelvora::Algorithm&);
    std::string (*name)(const kelvora::Algorithm&);
};

constexpr AlgorithmKey kAlgorithmKeys[] = {
    {"algorithm/encoding", kelvora::ParseEncoding, kelvora::EncodingName},
    {"algorithm/selection", kelvora::ParseSelection, kelvora::SelectionName},
    {"algorithm/elitism", kelvora::ParseElitism, kelvora::ElitismName},
    {"algorithm/crossover", kelvora::ParseCrossover, kelvora::CrossoverName},
    {"algorithm/mutation", kelvora::ParseMutation, kelvora::MutationName},
};

}  // namespace

QSettings AppSettings() { return QSettings(QStringLiteral("Kelvora"), QStringLiteral("Kelvora")); }

kelvora::Algorithm LoadAlgorithm() {
    const QSettings settings = AppSettings();
    kelvora::Algorithm algorithm;
    for (const AlgorithmKey& k : kAlgorithmKeys) {
        const QByteArray text = settings.value(QLatin1String(k.key)).toString().toUtf8();
        // A bad value leaves the classic choice as it is.
        if (!text.isEmpty()) k.parse(std::string_view(text.constData(), static_cast<std::size_t>(text.size())), algorithm);
    }
    return algorithm;
}

void SaveAlgorithm(const kelvora::Algorithm& algorithm) {
    QSettings settings = AppSettings();
    for (const AlgorithmKey& k : kAlgorithmKeys)
        settings.setValue(QLatin1String(k.key), QString::fromStdString(k.name(algorithm)));
}

}  // namespace kelvora::ui
