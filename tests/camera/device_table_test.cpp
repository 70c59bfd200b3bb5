// The table of cameras in use in the shared section, seen by two views in one process and by a
// second process.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "camera/device_table.h"
#include "camera/shared_section.h"
#include "tests/support/process.h"

namespace {

const char kSection[] = "ZUDADA_USBCAMERA";

// The entries these tests use; they are cleared before and after each test.
const int kFirstEntry = 3, kLastEntry = 8;

// The child process (the same program, so the same module handle): claims an entry, frees it or
// looks at it, and reports through its exit code.
int ChildMain(const std::string& verb, int index, uint64_t owner) {
    CSharedSection section;
    if (!section.Open(kSection) || !section.View()) return 10;
    DeviceTable table(section.View());
    if (verb == "claim") return table.Claim(index, owner) ? 0 : 11;
    if (verb == "inuse") return table.IsInUse(index) ? 0 : 12;
    if (verb == "release") {
        table.Release(index, owner);
        return table.IsInUse(index) ? 14 : 0;
    }
    return 13;
}

uint8_t* EntryOf(void* view, int index) {
    return static_cast<uint8_t*>(view) + DeviceTable::kOffset + index * DeviceTable::kEntrySize;
}

uint32_t ProcessIdOf(void* view, int index) {
    uint32_t id;
    std::memcpy(&id, EntryOf(view, index) + DeviceTable::kProcessIdOffset, sizeof id);
    return id;
}

// The child's exit code; a child that cannot start or does not end in time fails the test.
DWORD RunChild(const char* verb, int index, uint64_t owner) {
    char args[128];
    std::snprintf(args, sizeof args, " --child %s %d %llu", verb, index, static_cast<unsigned long long>(owner));
    const qtest::ChildResult child = qtest::RunChild(qtest::QuotedSelf() + args, 60000);
    if (!child.started || child.timedOut) ADD_FAILURE() << child.Describe();
    return child.exitCode;
}

class DeviceTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(first_.Create(kSection, DeviceTable::kSectionSize));
        ASSERT_NE(first_.View(), nullptr);
        ASSERT_GE(first_.ViewSize(), DeviceTable::kEnd);
        if (first_.Created()) std::memset(first_.View(), 0, 32768);
        ASSERT_TRUE(second_.Open(kSection));
        ClearEntries();
    }
    void TearDown() override { ClearEntries(); }
    void ClearEntries() {
        if (first_.View())
            std::memset(EntryOf(first_.View(), kFirstEntry), 0,
                        (kLastEntry - kFirstEntry + 1) * DeviceTable::kEntrySize);
    }
    CSharedSection first_, second_;
};

}  // namespace

TEST(SharedSection, CreatedOnlyByTheClientThatMadeIt) {
    char name[64];
    std::snprintf(name, sizeof name, "QUORIN_SECTION_TEST_%lu", GetCurrentProcessId());
    CSharedSection made, again, opened;
    ASSERT_TRUE(made.Create(name, 0x10000));
    EXPECT_TRUE(made.Created());
    ASSERT_TRUE(again.Create(name, 0x10000));
    EXPECT_FALSE(again.Created()) << "creating an existing section opens it";
    ASSERT_TRUE(opened.Open(name));
    EXPECT_FALSE(opened.Created()) << "opening must not count as creating";
    static_cast<uint8_t*>(made.View())[100] = 0x5A;
    EXPECT_EQ(static_cast<uint8_t*>(opened.View())[100], 0x5A);
}

TEST_F(DeviceTableTest, SecondOpenSeesTheSameSection) {
    DeviceTable a(first_.View()), b(second_.View());
    ASSERT_EQ(a.Claim(3, 0x1234), 1);
    EXPECT_TRUE(b.IsInUse(3));
    EXPECT_EQ(b.Owner(3), 0x1234u);
    // The entry's fields as other clients read them.
    const uint8_t* e = static_cast<const uint8_t*>(second_.View()) + DeviceTable::kOffset + 3 * DeviceTable::kEntrySize;
    uint64_t module;
    std::memcpy(&module, e + 8, 8);
    EXPECT_EQ(module, reinterpret_cast<uintptr_t>(GetModuleHandleA(nullptr)));
    EXPECT_STREQ(reinterpret_cast<const char*>(e + 24), "VazadoZir_O52RO_VIZ.dll");
    EXPECT_EQ(ProcessIdOf(second_.View(), 3), GetCurrentProcessId());
    a.Release(3, 0x1234);
    EXPECT_FALSE(b.IsInUse(3));
    EXPECT_STREQ(reinterpret_cast<const char*>(e + 24), "");
    EXPECT_EQ(ProcessIdOf(second_.View(), 3), 0u);
}

TEST_F(DeviceTableTest, AClaimedEntryIsNotTakenOrFreedByAnotherOwner) {
    DeviceTable a(first_.View()), b(second_.View());
    ASSERT_EQ(a.Claim(5, 0xA), 1);
    EXPECT_EQ(a.Claim(5, 0xA), 1) << "claiming one's own entry again";
    EXPECT_EQ(b.Claim(5, 0xB), 0) << "a lost race";
    EXPECT_EQ(b.Owner(5), 0xAu);
    b.Release(5, 0xB);
    EXPECT_TRUE(a.IsInUse(5)) << "release by another owner changes nothing";
    EXPECT_EQ(a.Claim(6, 0), 0) << "owner 0 would read as free";
    EXPECT_FALSE(a.IsInUse(6));
    a.Release(5, 0xA);
    EXPECT_FALSE(a.IsInUse(5));
    EXPECT_EQ(a.Claim(32, 0xA), 0);
    EXPECT_EQ(a.Claim(-1, 0xA), 0);
}

TEST_F(DeviceTableTest, AnotherProcessSeesClaimsBothWays) {
    DeviceTable a(first_.View());
    ASSERT_EQ(a.Claim(7, 0x77), 1);
    EXPECT_EQ(RunChild("inuse", 7, 0), 0u) << "the child sees this process's claim";
    EXPECT_EQ(RunChild("claim", 7, 0x99), 11u) << "the child cannot take a claimed entry";
    a.Release(7, 0x77);
    EXPECT_EQ(RunChild("inuse", 7, 0), 12u) << "a released entry is free";
    EXPECT_EQ(RunChild("claim", 8, 0x99), 0u);
    EXPECT_EQ(a.Owner(8), 0x99u);
    EXPECT_FALSE(a.IsInUse(8)) << "the entry of a process that has ended is free";
    EXPECT_EQ(a.Claim(8, 0x98), 1);
    EXPECT_EQ(ProcessIdOf(first_.View(), 8), GetCurrentProcessId());
    a.Release(8, 0x98);
    EXPECT_FALSE(a.IsInUse(8));
}

// Two processes of one program share the module handle and may draw the same owner value (a null
// notify window makes it an object's address): the process id keeps their claims apart.
TEST_F(DeviceTableTest, TheSameOwnerValueInAnotherProcessIsAnotherOwner) {
    DeviceTable a(first_.View());
    ASSERT_EQ(a.Claim(4, 0x77), 1);
    EXPECT_EQ(RunChild("claim", 4, 0x77), 11u) << "the child must not own this process's camera too";
    EXPECT_EQ(RunChild("release", 4, 0x77), 14u) << "the child must not free this process's entry";
    EXPECT_EQ(a.Owner(4), 0x77u);
    EXPECT_EQ(ProcessIdOf(first_.View(), 4), GetCurrentProcessId());

    // And the other way round: the child's claim was the child's, and once the child has ended
    // its entry is free for this process.
    EXPECT_EQ(RunChild("claim", 8, 0x99), 0u);
    EXPECT_NE(ProcessIdOf(first_.View(), 8), GetCurrentProcessId());
    EXPECT_NE(ProcessIdOf(first_.View(), 8), 0u);
    EXPECT_EQ(a.Claim(8, 0x99), 1) << "the entry of an ended process is taken over";
    EXPECT_EQ(ProcessIdOf(first_.View(), 8), GetCurrentProcessId());
    a.Release(8, 0x99);
    EXPECT_FALSE(a.IsInUse(8));
    a.Release(4, 0x77);
    EXPECT_FALSE(a.IsInUse(4));
}

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--child")
        return ChildMain(argv[2], std::atoi(argv[3]), std::strtoull(argv[4], nullptr, 10));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
