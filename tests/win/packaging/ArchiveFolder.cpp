#include "ArchiveFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "win/UniqueHandle.h"
#include "zip/ZipWriter.h"

namespace ns::test {

namespace {

void WriteBytes(const std::string& path, const std::string& bytes) {
  UniqueFile file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file) << path;
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
}

void SetLastWrite(const std::string& path, const std::string& stamp) {
  SYSTEMTIME local{};
  ASSERT_EQ(std::sscanf(stamp.c_str(), "%hu-%hu-%hu %hu:%hu:%hu", &local.wYear, &local.wMonth, &local.wDay,
                        &local.wHour, &local.wMinute, &local.wSecond),
            6);
  FILETIME localTime, utc;
  ASSERT_TRUE(SystemTimeToFileTime(&local, &localTime));
  ASSERT_TRUE(LocalFileTimeToFileTime(&localTime, &utc));
  UniqueFile file(CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(file) << path;
  ASSERT_TRUE(SetFileTime(file.get(), nullptr, nullptr, &utc));
}

void MakeFolder(const std::string& path) {
  CreateDirectoryA("C:\\Архивы", nullptr);
  CreateDirectoryA(path.c_str(), nullptr);
}

}  // namespace

std::string ProgramFolder() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  return folder.substr(0, folder.rfind('\\') + 1);
}

TArchiveFolder::TArchiveFolder() {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(test->test_suite_name()) + "." + test->name();
  path_ = "C:\\Архивы\\" + name + "\\";
  scratch_ = "C:\\Архивы\\" + name + ".dumps\\";
  MakeFolder(path_);
  MakeFolder(scratch_);
}

std::string TArchiveFolder::Dump(const std::string& taskName, size_t size, const std::string& stamp) {
  std::string path = scratch_ + taskName + ".dt";
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('A' + (i * 7 + i / 13) % 26);
  WriteBytes(path, bytes);
  SetLastWrite(path, stamp);
  return path;
}

std::string TArchiveFolder::NoisyDump(const std::string& taskName, size_t size) {
  std::string path = scratch_ + taskName + ".dt";
  std::string bytes(size, '\0');
  uint32_t state = 2463534242u;
  for (char& c : bytes) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    c = static_cast<char>('a' + state % 16);
  }
  WriteBytes(path, bytes);
  return path;
}

void TArchiveFolder::Archive(const std::string& name, const std::vector<std::string>& taskNames) {
  ZipWriter writer;
  writer.ZipName = path_ + name;
  for (const auto& task : taskNames) writer.FilesList.push_back(Dump(task, 100 + task.size()));
  ASSERT_EQ(writer.Zip(), static_cast<int>(taskNames.size())) << name;
}

void TArchiveFolder::File(const std::string& name, const std::string& bytes) { WriteBytes(path_ + name, bytes); }

std::vector<std::string> TArchiveFolder::Entries(const std::string& name) const {
  if (GetFileAttributesA((path_ + name).c_str()) == INVALID_FILE_ATTRIBUTES) return {"<no file>"};
  ZipWriter reader;
  reader.ZipName = path_ + name;
  try {
    reader.ReadZip();
  } catch (const std::exception&) {
    return {"<unreadable>"};
  }
  std::vector<std::string> names;
  for (const auto& entry : reader.Entries()) names.push_back(ZipWriter::DisplayName(entry));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(reader.Count(), static_cast<int>(names.size()));
  return names;
}

long long TArchiveFolder::EntrySize(const std::string& name, const std::string& entry) const {
  ZipWriter reader;
  reader.ZipName = path_ + name;
  reader.ReadZip();
  for (const auto& stored : reader.Entries()) {
    if (ZipWriter::DisplayName(stored) == entry) return static_cast<long long>(stored.uncompressedSize);
  }
  return -1;
}

std::string TArchiveFolder::Bytes(const std::string& name) const {
  UniqueFile file(CreateFileA((path_ + name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return {};
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  return bytes;
}

std::vector<std::string> TArchiveFolder::Files() const {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  UniqueFind search(FindFirstFileA((path_ + "*").c_str(), &found));
  if (!search) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileA(search.get(), &found));
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace ns::test
