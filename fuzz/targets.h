#pragma once
// Fuzz targets for every reader of outside data. Each one checks a property of
// what the reader accepts, not only that it survives. The same functions run
// under libFuzzer (fuzz_main.cpp) and in the normal test run, which replays
// tests/corpus through them (tests/robustness/test_replay.cpp).
#include <QByteArray>
#include <QList>
#include <QString>
#include <cstddef>
#include <cstdint>

namespace quillon::fuzz {

using TargetFn = int (*)(const std::uint8_t* data, std::size_t size);

struct Target {
    const char* name; // the fuzzer's name and its folder under tests/corpus
    TargetFn run;
};

const QList<Target>& Targets();
const Target* FindTarget(const QString& name);

// Inputs made by the formats' own writers, for a fuzzer to start from.
struct Seed {
    QString name;
    QByteArray bytes;
};
QList<Seed> Seeds(const QString& target);

// A broken property aborts, so libFuzzer keeps the input. The replay test installs
// a handler that throws instead, to name the file and go on.
using FailureHandler = void (*)(const char* target, const char* what);
void SetFailureHandler(FailureHandler handler);
[[noreturn]] void Fail(const char* target, const char* what);

int FuzzResult(const std::uint8_t* data, std::size_t size);
int FuzzQlf(const std::uint8_t* data, std::size_t size);
int FuzzF52(const std::uint8_t* data, std::size_t size);
int FuzzTextData(const std::uint8_t* data, std::size_t size);
int FuzzCatalogue(const std::uint8_t* data, std::size_t size);
int FuzzFieldFont(const std::uint8_t* data, std::size_t size);
int FuzzIni(const std::uint8_t* data, std::size_t size);
int FuzzTransfer(const std::uint8_t* data, std::size_t size);

} // namespace quillon::fuzz
