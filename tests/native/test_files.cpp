#include "test_files.h"

#include "common/file_open.h"

#include <stdio.h>

#include <chrono>
#include <filesystem>
#include <system_error>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

TempFolder::TempFolder() {
  static unsigned serial = 0;
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  std::error_code error;
  fs::path base = fs::temp_directory_path(error);
  if (error) base = ".";
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path candidate = base / ("foliostamp-test-" + std::to_string(now % 1000000007) + "-" +
                                 std::to_string(++serial));
    if (fs::create_directory(candidate, error)) {
      root_ = candidate.generic_string();
      return;
    }
  }
  ADD_FAILURE() << "no temp folder";
  root_ = ".";
}

TempFolder::~TempFolder() {
  std::error_code error;
  fs::remove_all(root_, error);
  if (error) ADD_FAILURE() << "could not remove " << root_ << ": " << error.message();
}

std::string ReadFileBytes(const std::string& path) {
  std::string bytes;
  FILE* file = OpenFileUtf8(path.c_str(), "rb");
  if (file == nullptr) return "<missing>";
  char block[65536];
  size_t got;
  while ((got = fread(block, 1, sizeof block, file)) > 0) bytes.append(block, got);
  fclose(file);
  return bytes;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  FILE* file = OpenFileUtf8(path.c_str(), "wb");
  ASSERT_NE(file, nullptr) << path;
  ASSERT_EQ(fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
  ASSERT_EQ(fclose(file), 0);
}

bool FileExists(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(fs::u8path(path), error));
}

namespace {

void KeepResult(void* context, const JobReport& report) {
  JobResult* result = static_cast<JobResult*>(context);
  EXPECT_EQ(result->text, "<not ended>") << "a job ended twice";
  *result = {report.text, report.outcome, report.pageTotal, report.lastPage, report.utf8, report.differs};
}

}  // namespace

JobResult RunJobFull(Job job, const JobSettings& s) {
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
  input.noBackup = s.noBackup;
  JobResult result = {"<not ended>", JobOutcome::Failed, 0, 0, false, false};
  switch (job) {
    case Job::Insert: InsertPageNumbers(input, KeepResult, &result); break;
    case Job::Remove: RemovePageNumbers(input, KeepResult, &result); break;
    case Job::Undo: UndoFromBackup(input, KeepResult, &result); break;
    case Job::Check: CheckPageNumbers(input, KeepResult, &result); break;
  }
  return result;
}

std::string RunJob(Job job, const JobSettings& s) { return RunJobFull(job, s).text; }
