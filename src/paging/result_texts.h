// The result texts the jobs report, shared by every job that makes a
// backup and rewrites a document. The %s are paths.
#pragma once

inline constexpr char kTooLong[] = "Error: The path is too long.\r\n";
inline constexpr char kNoMdFile[] = "Error: No .md file.\r\n";
inline constexpr char kBakExists[] = "There is .bak file.";
inline constexpr char kNoBakFile[] = "There is no .bak file.\n";
inline constexpr char kMissing[] = "Error: The file does not exist.\r\n%s\r\n";
inline constexpr char kBusyCopy[] = "Error: These file are busy now.\r\n%s\r\n%s\r\n";
inline constexpr char kBusyOpen[] = "Busy:%s\r\n";
inline constexpr char kTextTooLong[] = "Error: Header, colour or font size text is too long.\r\n";
inline constexpr char kLineBreak[] = "Error: Header, colour or font size text has a line break.\r\n";
inline constexpr char kReadFailed[] = "Error: The file could not be read.\r\n%s\r\n";
inline constexpr char kWriteFailed[] = "Error: Writing failed.\r\n%s\r\n";
inline constexpr char kRestored[] =
    "Error: Writing failed; the file was restored from its backup.\r\n%s\r\n%s\r\n";
inline constexpr char kKeptInBackup[] =
    "Error: Writing failed; the original is kept in its backup.\r\n%s\r\n%s\r\n";
inline constexpr char kDenied[] = "Error: Access is denied.\r\n%s\r\n";
inline constexpr char kNotAFile[] = "Error: Not a file.\r\n%s\r\n";
inline constexpr char kLeftAsItWas[] = "Error: Writing failed; the file was left as it was.\r\n%s\r\n";
inline constexpr char kLinkedNeedsBackup[] =
    "Error: The file has more than one link, so it is rewritten in place, which needs a backup.\r\n%s\r\n";
inline constexpr char kStoppedRewrite[] =
    "Error: A job was stopped while it rewrote this file in place, so it may be torn; Undo puts back its text from the backup.\r\n%s\r\n";
inline constexpr char kTotal[] = "Total %d pages.";
inline constexpr char kDoneUndo[] = "Done undo.";
