// Real files in a private temp folder for the job tests.
#pragma once

#include <string>

#include "paging/jobs.h"

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  std::string Path(const std::string& name) const { return root_ + "/" + name; }
  const std::string& root() const { return root_; }

 private:
  std::string root_;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

// The settings a freshly started program has, with the given path.
struct JobSettings {
  std::string markdownPath;
  std::string tocPageCount = "1";
  std::string skipPages;
  std::string headerText;
  std::string customColor = "blue";
  std::string fontSizePercent = "80";
  int colorChoice = 0;
  int positionChoice = 0;
  int formatChoice = 0;
  int keepExistingBackup = 0;
  int numberFirstPage = 0;
  int annotateHeadings = 0;
  int noBackup = 0;
};

enum class Job { Insert, Remove, Undo, Check };

// What a job handed back as it ended.
struct JobResult {
  std::string text;
  JobOutcome outcome;
  int32_t pageTotal;
  int32_t lastPage;
  bool utf8;
  bool differs;
};

// Runs a job to its end.
JobResult RunJobFull(Job job, const JobSettings& settings);
// The same, for its result text alone.
std::string RunJob(Job job, const JobSettings& settings);
