// The memory copy kept in the users database: any bytes give a memory or nothing (the rows
// rebuild it then). A memory taken is used as the Review uses it, and its own copy reads
// back. Inputs whose first byte is odd are read after a valid start (form and weights), so
// that the items themselves are reached.
#include "review/FsrsScheduler.h"
#include "review/PhraseMemory.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const FsrsScheduler scheduler;
    static const QByteArray start = PhraseMemory({}, scheduler).toBytes(0).chopped(8); // no counts
    if (size == 0)
        return 0;
    QByteArray bytes(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    if (data[0] & 1)
        bytes.prepend(start);
    const auto memory = PhraseMemory::fromBytes(bytes, scheduler);
    if (!memory)
        return 0;
    const qint64 today = PhraseMemory::today();
    memory->due(today, 10);
    memory->dueCount(today);
    memory->nextDueDay(today);
    memory->counts();
    memory->forecast(today, 14);
    memory->achievedRetention(today, 30);
    for (const PhraseMemoryItem& item : memory->items())
        memory->retrievabilityOn(item, today);
    if (!PhraseMemory::fromBytes(memory->toBytes(0), scheduler))
        __builtin_trap(); // its own copy is always taken back
    return 0;
}
