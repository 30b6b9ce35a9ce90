// Counts the GDI objects and device contexts that the platform's wrappers create and delete. The system's
// own count (GetGuiResources) is not available everywhere the program is tested, so leak checks compare
// these two numbers instead. GUI thread only.
#pragma once

#include <cstdint>

class GdiTally {
public:
    static void Created() { ++s_created; }
    static void Deleted() { ++s_deleted; }
    static std::uint64_t CreatedCount() { return s_created; }
    static std::uint64_t DeletedCount() { return s_deleted; }

private:
    static inline std::uint64_t s_created = 0;
    static inline std::uint64_t s_deleted = 0;
};
