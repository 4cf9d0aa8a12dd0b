/* fragment_memory: holds GB gibibytes of which every other small page is given back, so that
 * free memory lies in single small pages and a huge page has to be made by compaction, for
 * SECONDS seconds; for measuring huge pages on a machine whose memory is fragmented.
 *
 *   cc -O2 -o fragment_memory fragment_memory.c && ./fragment_memory GB SECONDS & */
#include <stdio.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

int main(int argc, char **argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s GB SECONDS\n", argv[0]);
    return 2;
  }
  const size_t size = (size_t)atol(argv[1]) << 30, page = (size_t)sysconf(_SC_PAGESIZE);
  char *memory = mmap(NULL, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) {
    perror("mmap");
    return 1;
  }
  madvise(memory, size, MADV_NOHUGEPAGE);
  for (size_t i = 0; i < size; i += page) memory[i] = 1;
  for (size_t i = 0; i < size; i += 2 * page) madvise(memory + i, page, MADV_DONTNEED);
  fprintf(stderr, "fragment_memory: holding %s GiB, every other page free\n", argv[1]);
  sleep((unsigned)atoi(argv[2]));
  return 0;
}
