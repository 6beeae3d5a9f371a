// Kept inputs (minimised crashers, edge cases) neither crash nor break round trips.
#include "fuzztargets.h"

#include <QDir>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

QDir inputsOf(const FuzzTarget& target) {
    return QDir(QStringLiteral(TOLVANE_FUZZ_REGRESSIONS "/") +
                QString::fromLatin1(target.name.data(), target.name.size()));
}

struct Input {
    const FuzzTarget* target;
    QString path;
    friend void PrintTo(const Input& in, std::ostream* out) { *out << in.path.toStdString(); }
};

std::vector<Input> regressionInputs() {
    std::vector<Input> inputs;
    for (const FuzzTarget& target : fuzzTargets())
        for (const QString& name : inputsOf(target).entryList(QDir::Files, QDir::Name))
            inputs.push_back({&target, inputsOf(target).filePath(name)});
    return inputs;
}

class FuzzRegression : public ::testing::TestWithParam<Input> {};

TEST_P(FuzzRegression, ReaderSurvivesAndRoundTrips) {
    QFile file(GetParam().path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(GetParam().target->run(file.readAll()));
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, FuzzRegression, ::testing::ValuesIn(regressionInputs()), [](const auto& info) {
        const QFileInfo file(info.param.path);
        QString name = file.dir().dirName() + '_' + file.fileName();
        return name.replace(QRegularExpression("[^A-Za-z0-9]"), "_").toStdString();
    });

TEST(FuzzRegression, EveryTargetHasInputs) {
    for (const FuzzTarget& target : fuzzTargets())
        EXPECT_FALSE(inputsOf(target).isEmpty(QDir::Files)) << target.name;
}

} // namespace
