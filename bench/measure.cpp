// measure OUT COMMAND [ARG...]: runs COMMAND and appends to OUT one line
// "SECONDS MAXRSS_KIB", its wall-clock time and its peak resident memory.
// Exits with the command's status.
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: measure OUT COMMAND [ARG...]\n");
    return 2;
  }
  timespec start;
  clock_gettime(CLOCK_MONOTONIC, &start);
  pid_t child = fork();
  if (child < 0) {
    perror("fork");
    return 2;
  }
  if (child == 0) {
    execvp(argv[2], argv + 2);
    perror(argv[2]);
    _exit(127);
  }
  int status = 0;
  rusage usage;
  if (wait4(child, &status, 0, &usage) < 0) {
    perror("wait4");
    return 2;
  }
  timespec end;
  clock_gettime(CLOCK_MONOTONIC, &end);
  double seconds = static_cast<double>(end.tv_sec - start.tv_sec) +
                   static_cast<double>(end.tv_nsec - start.tv_nsec) / 1e9;
  FILE* out = fopen(argv[1], "a");
  if (out == nullptr) {
    perror(argv[1]);
    return 2;
  }
  fprintf(out, "%.6f %ld\n", seconds, usage.ru_maxrss);
  fclose(out);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
