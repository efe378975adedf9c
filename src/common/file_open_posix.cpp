#include "common/file_open.h"

FILE* OpenFileUtf8(const char* path, const char* mode) { return fopen(path, mode); }
