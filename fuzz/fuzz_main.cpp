// libFuzzer entry for one target, chosen at compile time (QUILLON_FUZZ_TARGET).
// With QUILLON_FUZZ_SEED_DIR set, the first run writes the writers' seeds there.
#include "targets.h"

#include <QDir>
#include <QFile>
#include <cstdlib>

// A use after free shows while the freed block sits in the quarantine. A few MB
// outlive any one input; the default 256 MB, which libFuzzer releases every
// second, made every run fault in fresh pages and took 500 MB.
// Qt has no frame pointers, so past the first two frames of an allocation the fast
// unwinder reads whatever the stack holds: each run stored thousands of "new"
// stacks, a million after a minute, and slowed down as they grew. For whole
// allocation stacks, rerun a finding with
// ASAN_OPTIONS=fast_unwind_on_malloc=0:malloc_context_size=30.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=32:malloc_context_size=2"; }

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    using namespace quillon::fuzz;
    const QByteArray dir = qgetenv("QUILLON_FUZZ_SEED_DIR");
    if (dir.isEmpty())
        return 0;
    QDir().mkpath(QString::fromLocal8Bit(dir));
    for (const Seed& s : Seeds(QStringLiteral(QUILLON_FUZZ_TARGET))) {
        QFile f(QString::fromLocal8Bit(dir) + QStringLiteral("/seed-") + s.name);
        if (f.open(QIODevice::WriteOnly))
            f.write(s.bytes);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return quillon::fuzz::FindTarget(QStringLiteral(QUILLON_FUZZ_TARGET))->run(data, size);
}
