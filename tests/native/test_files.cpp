#include "test_files.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

TempFolder::TempFolder() {
  char pattern[] = "/tmp/foliostamp-test-XXXXXX";
  const char* made = mkdtemp(pattern);
  EXPECT_NE(made, nullptr);
  root_ = made != nullptr ? made : "/tmp";
}

TempFolder::~TempFolder() {
  std::string command = "rm -rf '" + root_ + "'";
  if (system(command.c_str()) != 0) ADD_FAILURE() << "could not remove " << root_;
}

std::string ReadFileBytes(const std::string& path) {
  std::string bytes;
  FILE* file = fopen(path.c_str(), "rb");
  if (file == nullptr) return "<missing>";
  char block[65536];
  size_t got;
  while ((got = fread(block, 1, sizeof block, file)) > 0) bytes.append(block, got);
  fclose(file);
  return bytes;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  FILE* file = fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr) << path;
  ASSERT_EQ(fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
  ASSERT_EQ(fclose(file), 0);
}

bool FileExists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

namespace {

void KeepResult(void* context, const char* resultText) {
  std::string* result = static_cast<std::string*>(context);
  EXPECT_EQ(*result, "<not ended>") << "a job ended twice";
  *result = resultText;
}

}  // namespace

std::string RunJob(Job job, const JobSettings& s) {
  JobInput input;
  input.markdownPath = s.markdownPath.c_str();
  input.tocPageCount = s.tocPageCount.c_str();
  input.skipPages = s.skipPages.c_str();
  input.headerText = s.headerText.c_str();
  input.customColor = s.customColor.c_str();
  input.fontSizePercent = s.fontSizePercent.c_str();
  input.colorChoice = s.colorChoice;
  input.positionChoice = s.positionChoice;
  input.formatChoice = s.formatChoice;
  input.keepExistingBackup = s.keepExistingBackup;
  input.numberFirstPage = s.numberFirstPage;
  input.annotateHeadings = s.annotateHeadings;
  std::string result = "<not ended>";
  switch (job) {
    case Job::Insert: InsertPageNumbers(input, KeepResult, &result); break;
    case Job::Remove: RemovePageNumbers(input, KeepResult, &result); break;
    case Job::Undo: UndoFromBackup(input, KeepResult, &result); break;
  }
  return result;
}
