// Every input kept under tests/fuzz/regressions/<target>/ (crashers the
// fuzzer found, minimised, and hand-made edge cases) goes through its
// target's reader again: it must neither crash nor break the round trip.
#include "fuzztargets.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

struct Input {
    const FuzzTarget* target;
    QString path;
};

std::vector<Input> regressionInputs() {
    std::vector<Input> inputs;
    for (const FuzzTarget& target : fuzzTargets()) {
        const QDir dir(QStringLiteral(TOLVANE_FUZZ_REGRESSIONS "/") +
                       QString::fromLatin1(target.name.data(), target.name.size()));
        for (const QString& name : dir.entryList(QDir::Files, QDir::Name))
            inputs.push_back({&target, dir.filePath(name)});
    }
    return inputs;
}

void PrintTo(const Input& input, std::ostream* out) {
    *out << input.path.toStdString();
}

class FuzzRegression : public ::testing::TestWithParam<Input> {};

TEST_P(FuzzRegression, ReaderSurvivesAndRoundTrips) {
    QFile file(GetParam().path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(GetParam().target->run(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                       size_t(bytes.size())));
}

INSTANTIATE_TEST_SUITE_P(Inputs, FuzzRegression, ::testing::ValuesIn(regressionInputs()),
                         [](const auto& info) {
                             QString name = QString::fromLatin1(info.param.target->name.data(),
                                                                info.param.target->name.size()) +
                                            '_' + QFileInfo(info.param.path).fileName();
                             name.replace(QRegularExpression("[^A-Za-z0-9]"), "_");
                             return name.toStdString();
                         });

TEST(FuzzRegression, EveryTargetHasInputs) {
    const std::vector<Input> inputs = regressionInputs();
    for (const FuzzTarget& target : fuzzTargets())
        EXPECT_TRUE(std::any_of(inputs.begin(), inputs.end(), [&](const Input& input) {
            return input.target == &target;
        })) << target.name;
}

} // namespace
