// The one owner of Win32 handles, on the kinds whose closing can be seen:
// a handle is closed when its owner goes or takes another, and not at all
// after it has been given away. A late-bound DLL is such an owner too.

#include <gtest/gtest.h>
#include <windows.h>

#include <utility>
#include <vector>

#include "platform/win32/late_bound_dll.h"
#include "ui/win32/gdi.h"

namespace {

bool isLive(HGDIOBJ object) {
  return GetObjectType(object) != 0;
}

TEST(HandleOwners, RegionsAreDeletedUnlessGivenAway) {
  HRGN dropped = nullptr;
  HRGN given = nullptr;
  {
    const ui::win32::Region owned(CreateRectRgn(0, 0, 4, 4));
    ui::win32::Region released(CreateRectRgn(0, 0, 4, 4));
    dropped = owned.get();
    given = released.release();
    EXPECT_FALSE(released);
    EXPECT_TRUE(isLive(dropped));
  }
  EXPECT_FALSE(isLive(dropped));
  EXPECT_EQ(GetObjectType(given), static_cast<DWORD>(OBJ_REGION));
  DeleteObject(given);
}

TEST(HandleOwners, MovingHandsOverTheHandleAndAssigningClosesTheOldOne) {
  ui::win32::Brush first(CreateSolidBrush(0x123456));
  HBRUSH brush = first.get();
  ui::win32::Brush second(std::move(first));
  EXPECT_FALSE(first);
  EXPECT_EQ(second.get(), brush);

  ui::win32::Brush replacement(CreateSolidBrush(0x654321));
  second = std::move(replacement);
  EXPECT_FALSE(isLive(brush));
  EXPECT_TRUE(isLive(second.get()));
  second.reset();
  EXPECT_FALSE(second);
}

TEST(HandleOwners, MemoryDcsAreDeletedWithTheirOwner) {
  HDC dc = nullptr;
  {
    const ui::win32::MemoryDc memory(CreateCompatibleDC(nullptr));
    dc = memory.get();
    EXPECT_EQ(GetObjectType(dc), static_cast<DWORD>(OBJ_MEMDC));
  }
  EXPECT_FALSE(isLive(dc));
}

using AnyFunction = void(WINAPI*)();

TEST(HandleOwners, LateBoundDllsStayLoadedWhileOwnedAndMissingOnesReadAsNull) {
  // Nothing the test program imports brings WinINet in.
  ASSERT_EQ(GetModuleHandleA("wininet.dll"), nullptr);
  {
    const platform::win32::LateBoundDll wininet("wininet.dll");
    ASSERT_TRUE(wininet.loaded());
    EXPECT_EQ(GetModuleHandleA("wininet.dll"), wininet.module());
    EXPECT_EQ(reinterpret_cast<FARPROC>(wininet.function<AnyFunction>("InternetOpenA")),
              GetProcAddress(wininet.module(), "InternetOpenA"));
    EXPECT_NE(wininet.function<AnyFunction>("InternetOpenA"), nullptr);
    EXPECT_EQ(wininet.function<AnyFunction>("NoSuchFunction"), nullptr);
  }
  EXPECT_EQ(GetModuleHandleA("wininet.dll"), nullptr);

  const platform::win32::LateBoundDll missing("tavoro-no-such-library.dll");
  EXPECT_FALSE(missing.loaded());
  EXPECT_EQ(missing.function<AnyFunction>("InternetOpenA"), nullptr);
}

// SSPI's handles are structures with their own "no handle" value: an owner
// of one closes exactly the live handle it still holds.
struct PairHandle {
  ULONG_PTR lower;
  ULONG_PTR upper;
};
std::vector<ULONG_PTR> closedPairs;
struct PairTraits {
  using Handle = PairHandle;
  static Handle invalid() { return {~ULONG_PTR{0}, ~ULONG_PTR{0}}; }
  static bool isLive(const Handle& h) { return h.lower != ~ULONG_PTR{0}; }
  static void close(Handle h) { closedPairs.push_back(h.upper); }
};
using PairOwner = platform::win32::UniqueHandle<PairTraits>;

TEST(HandleOwners, StructureHandlesAreClosedOnceUnlessGivenAway) {
  closedPairs.clear();
  {
    const PairOwner none;
    EXPECT_FALSE(none);
    PairOwner zero(PairHandle{0, 7});  // a zero, yet a handle
    EXPECT_TRUE(zero);
    const PairOwner moved(std::move(zero));
    EXPECT_FALSE(zero);
    PairOwner given(PairHandle{1, 8});
    given.release();
  }
  EXPECT_EQ(closedPairs, std::vector<ULONG_PTR>{7});
}

}  // namespace
