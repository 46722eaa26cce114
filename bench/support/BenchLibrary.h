#pragma once

#include <QString>

// A large library of subjects for the benchmarks: one real file of each kind, and folders
// that hold many names for it.
namespace BenchLibrary {

// Root may lock any amount of memory and a learner may not, which changes what an encrypted
// open costs (see Database.cpp). Drops that one capability from this process, if it has it,
// so that the figures are a learner's, and says so on stderr.
void measureAsLearner();

// Says what could not be made and ends the benchmark.
[[noreturn]] void fail(const char* what, const QString& error);

// Captions "Caption 1" ... "Caption count" in app().
void useNumberedCaptions(int count);

// An installed subject of this edition with ten phrases, each with an 8,000-byte sound.
void makeTenPhraseSubject(const QString& path);
// A virtual subject file with that many virtual subjects (no phrases).
void makeVirtualSubjectFile(const QString& path, int subjects);

// Fills folder (made if needed) with count names of source: pattern's %1 is the number,
// zero-padded to width digits. Hard links where the file system has them, so 10,000
// subjects take the room of one and the program still sees regular files; copies otherwise.
void fillFolder(const QString& folder, const QString& source, const QString& pattern, int count, int width);

} // namespace BenchLibrary
