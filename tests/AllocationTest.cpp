// SPDX-License-Identifier: MIT
// How much the reader allocates for a file: never more than a small multiple
// of the file's real size, whatever its header claims. Counted by replacing
// the global allocation functions of this test program; counting is on only
// inside a measured call.
#include "PalmDB.h"

#include "TestSupport.h"

#include <cstdlib>
#include <new>

namespace {

bool counting = false;
std::size_t allocated = 0;

}  // namespace

// Every form that takes memory by size is replaced, and every form that
// gives it back, so that no pair mixes this program's functions with the
// library's (or the address sanitizer's); the aligned forms stay as they are.
void* operator new(std::size_t size) {
    if (counting) allocated += size;
    if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }

// GCC takes free() in a replaced operator delete for a mismatch with new.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace reelport {
namespace {

// The bytes allocated while loading `image`, which is moved in.
std::size_t allocatedByLoad(Bytes image) {
    PalmDB db;
    allocated = 0;
    counting = true;
    try {
        db.load(std::move(image), "CinecaseTapes.PDB");
    } catch (const Failure&) {
        // A damaged file ends with its check; what it allocated on the way counts.
    }
    counting = false;
    return allocated;
}

PdbFile twoTapes() {
    PdbFile file;
    file.appInfo = categoryBlock({"Unfiled"});
    file.records = {test::record(tapeRecord({"Films", 10800, "E-180"}), 0x10),
                    test::record(tapeRecord({"More films", 7200, ""}), 0x11)};
    return file;
}

TEST(ReaderAllocation, StaysWithinThriceTheFileWhateverItsHeaderClaims) {
    struct Case {
        const char* what;
        PdbFile file;
    };
    std::vector<Case> cases;
    cases.push_back({"valid", twoTapes()});
    cases.push_back({"65535 records listed in two entries", twoTapes()});
    cases.back().file.numRecords = 65535;
    cases.push_back({"appinfo of 4 GiB", twoTapes()});
    cases.back().file.sortInfoOffset = 0xFFFFFF00;
    cases.push_back({"record of 4 GiB", twoTapes()});
    cases.back().file.records[1].offset = 0xFFFFFFF0;

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes image = buildPdb(c.file);
        // The path, and 24 bytes of record entry for each 8-byte entry in the file.
        const std::size_t bytes = allocatedByLoad(image);
        EXPECT_LE(bytes, 3 * image.size() + 256) << "file of " << image.size() << " bytes";
        EXPECT_GT(bytes, 0u) << "the count missed the entries";  // every case lists two
    }
}

}  // namespace
}  // namespace reelport
