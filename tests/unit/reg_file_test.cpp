// The REGEDIT4 reader that loads registry fixtures into the in-memory world.
#include <gtest/gtest.h>

#include "platform/memory/memory_registry.h"
#include "platform/reg_file.h"

using platform::MemoryRegistry;

namespace {

const char kKey[] = "HKEY_CURRENT_USER\\Software\\T";

TEST(RegFile, ReadsEveryKindOfValue) {
  MemoryRegistry registry;
  // "乗" (0x81 0x5C) ends a string: its trail byte escapes nothing.
  const std::string text =
      "REGEDIT4\r\n\r\n; a comment\r\n[HKEY_CURRENT_USER\\Software\\T]\r\n"
      "\"Path\"=\"C:\\\\A \\\"q\\\" \x81\x5C\"\r\n"
      "@=\"default\"\r\n"
      "\"Count\"=dword:00000102\r\n"
      "\"Bin\"=hex:01,02,\\\r\n  03\r\n"
      "\"Expand\"=hex(2):25,00\r\n";
  std::string error;
  ASSERT_TRUE(platform::ImportRegText(registry, text, &error)) << error;
  unsigned long type = 0;
  std::string data;
  ASSERT_TRUE(registry.GetValue(kKey, "Path", &type, &data));
  EXPECT_EQ(type, platform::RegType::String);
  EXPECT_EQ(data, std::string("C:\\A \"q\" \x81\x5C", 11) + '\0');
  ASSERT_TRUE(registry.GetValue(kKey, "", nullptr, &data));
  EXPECT_EQ(data, std::string("default") + '\0');
  ASSERT_TRUE(registry.GetValue(kKey, "Count", &type, &data));
  EXPECT_EQ(type, platform::RegType::Dword);
  EXPECT_EQ(data, std::string("\x02\x01\x00\x00", 4));
  ASSERT_TRUE(registry.GetValue(kKey, "Bin", &type, &data));
  EXPECT_EQ(data, std::string("\x01\x02\x03", 3));
  ASSERT_TRUE(registry.GetValue(kKey, "Expand", &type, &data));
  EXPECT_EQ(type, platform::RegType::ExpandString);
}

TEST(RegFile, DeletesWholeTrees) {
  MemoryRegistry registry;
  ASSERT_TRUE(platform::ImportRegText(registry, "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A\\B\\C]\n[HKEY_LOCAL_MACHINE\\A\\D]\n"));
  ASSERT_TRUE(platform::ImportRegText(registry, "REGEDIT4\n[-HKEY_LOCAL_MACHINE\\A\\B]\n[-HKEY_LOCAL_MACHINE\\Missing]\n"));
  EXPECT_FALSE(registry.KeyExists("HKEY_LOCAL_MACHINE\\A\\B"));
  EXPECT_TRUE(registry.KeyExists("HKEY_LOCAL_MACHINE\\A\\D"));
  EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

TEST(RegFile, SaysWhichLineItCannotRead) {
  MemoryRegistry registry;
  std::string error;
  EXPECT_FALSE(platform::ImportRegText(registry, "Windows Registry Editor Version 5.00\n", &error));
  EXPECT_EQ(error, "line 1: expected REGEDIT4");
  EXPECT_FALSE(platform::ImportRegText(registry, "REGEDIT4\n\"Orphan\"=\"x\"\n", &error));
  EXPECT_EQ(error, "line 2: value outside a key");
  EXPECT_FALSE(platform::ImportRegText(registry, "REGEDIT4\n[HKEY_CLASSES_ROOT\\X]\n", &error));
  EXPECT_EQ(error, "line 2: unknown root key");
  // HKEY_USERS is a tree of its own, apart from HKEY_CURRENT_USER.
  EXPECT_TRUE(platform::ImportRegText(registry, "REGEDIT4\n[HKU\\S-1-5-21-7\\X]\n\"V\"=\"u\"\n", &error)) << error;
  EXPECT_TRUE(registry.KeyExists("HKEY_USERS\\S-1-5-21-7\\X"));
  EXPECT_FALSE(registry.KeyExists("HKEY_CURRENT_USER\\S-1-5-21-7"));
  EXPECT_FALSE(platform::ImportRegText(registry, "REGEDIT4\n[HKEY_CURRENT_USER\\X]\n\"V\"=bogus\n", &error));
  EXPECT_EQ(error, "line 3: cannot read or set value");
}

TEST(RegFile, QuotesWhatItReads) {
  MemoryRegistry registry;
  const std::string value = "D:\\\"x\"\\\x81\x5C";
  ASSERT_TRUE(platform::ImportRegText(
      registry, "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\T]\n\"V\"=" + platform::QuoteRegString(value) + "\n"));
  std::string data;
  ASSERT_TRUE(registry.GetValue(kKey, "V", nullptr, &data));
  EXPECT_EQ(data, value + '\0');
}

}  // namespace
