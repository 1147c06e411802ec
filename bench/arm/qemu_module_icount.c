/* qemu_module_icount: a QEMU TCG plugin (user mode) that counts the guest
 * instructions executed in each mapped file: the program, the loader, each
 * shared library. For files named with detail=, it also lists the count per
 * translated block by the block's address in the file (its ELF virtual
 * address), so a script can charge blocks to the symbols of that file.
 *
 * Debian ships no qemu-plugin.h, so the few entry points used are declared
 * here from the documented plugin API (version 1, QEMU 7.x).
 *
 * Each block gets its own counter, bumped inline each time it runs; the host
 * address of its first instruction ties it to a mapping of the qemu process
 * (in user mode the guest's files are mapped into it), read from
 * /proc/self/maps when the guest exits.
 *
 * Build: gcc -O2 -shared -fPIC qemu_module_icount.c -o libqemu_module_icount.so
 * Usage: qemu-arm -L SYSROOT -plugin ./libqemu_module_icount.so,out=FILE,detail=NAME prog
 * Output lines: "total N", "file PATH N" (most first), "block PATH 0xADDR N".
 */
#include <inttypes.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef uint64_t qemu_plugin_id_t;
typedef struct qemu_info_t qemu_info_t;
struct qemu_plugin_tb;
struct qemu_plugin_insn;
enum qemu_plugin_op { QEMU_PLUGIN_INLINE_ADD_U64 };
typedef void (*qemu_plugin_vcpu_tb_trans_cb_t)(qemu_plugin_id_t id, struct qemu_plugin_tb *tb);
typedef void (*qemu_plugin_udata_cb_t)(qemu_plugin_id_t id, void *userdata);

void qemu_plugin_register_vcpu_tb_trans_cb(qemu_plugin_id_t id, qemu_plugin_vcpu_tb_trans_cb_t cb);
size_t qemu_plugin_tb_n_insns(const struct qemu_plugin_tb *tb);
struct qemu_plugin_insn *qemu_plugin_tb_get_insn(const struct qemu_plugin_tb *tb, size_t idx);
void *qemu_plugin_insn_haddr(const struct qemu_plugin_insn *insn);
void qemu_plugin_register_vcpu_tb_exec_inline(struct qemu_plugin_tb *tb, enum qemu_plugin_op op,
                                              void *ptr, uint64_t imm);
void qemu_plugin_register_atexit_cb(qemu_plugin_id_t id, qemu_plugin_udata_cb_t cb, void *userdata);

#define EXPORT __attribute__((visibility("default")))
EXPORT int qemu_plugin_version = 1;

/* One translated block. Blocks live in chunks that never move, because the
 * translated code holds the address of each counter. */
struct block {
  uintptr_t host_addr;
  uint64_t insns;
  uint64_t runs;
};
#define CHUNK_BLOCKS 65536
struct chunk {
  struct chunk *next;
  size_t used;
  struct block blocks[CHUNK_BLOCKS];
};
static struct chunk *chunks; /* single-threaded guests only */

/* A file mapping of the qemu process; base is where offset 0 of the file is
 * mapped, so host address - base is the ELF virtual address. */
struct mapping {
  uintptr_t start, end, base;
  char path[512];
  uint64_t count;
};

static char out_path[4096];
static char detail[256];

static struct block *new_block(void) {
  if (!chunks || chunks->used == CHUNK_BLOCKS) {
    struct chunk *c = calloc(1, sizeof *c);
    if (!c) abort();
    c->next = chunks;
    chunks = c;
  }
  return &chunks->blocks[chunks->used++];
}

static void on_tb_trans(qemu_plugin_id_t id, struct qemu_plugin_tb *tb) {
  (void)id;
  struct block *b = new_block();
  b->host_addr = (uintptr_t)qemu_plugin_insn_haddr(qemu_plugin_tb_get_insn(tb, 0));
  b->insns = qemu_plugin_tb_n_insns(tb);
  qemu_plugin_register_vcpu_tb_exec_inline(tb, QEMU_PLUGIN_INLINE_ADD_U64, &b->runs, 1);
}

/* Reads the file-backed mappings; returns how many, or -1. */
static int read_mappings(struct mapping **out) {
  FILE *f = fopen("/proc/self/maps", "r");
  if (!f) return -1;
  struct mapping *maps = NULL;
  int n = 0, cap = 0;
  char line[1024];
  while (fgets(line, sizeof line, f)) {
    uintptr_t start, end, offset;
    char perms[8], path[512] = "";
    if (sscanf(line, "%" SCNxPTR "-%" SCNxPTR " %7s %" SCNxPTR " %*s %*s %511[^\n]", &start, &end,
               perms, &offset, path) < 4 || path[0] != '/')
      continue;
    if (n == cap) {
      cap = cap ? 2 * cap : 64;
      maps = realloc(maps, cap * sizeof *maps);
      if (!maps) abort();
    }
    struct mapping *m = &maps[n++];
    m->start = start;
    m->end = end;
    m->base = start - offset;
    m->count = 0;
    snprintf(m->path, sizeof m->path, "%s", path);
  }
  fclose(f);
  /* Segments after the first keep the base of the file's offset-0 mapping. */
  for (int i = 0; i < n; i++)
    for (int j = 0; j < n; j++)
      if (strcmp(maps[i].path, maps[j].path) == 0 && maps[j].start - maps[j].base == 0 &&
          maps[j].start < maps[i].start)
        maps[i].base = maps[j].start;
  *out = maps;
  return n;
}

static struct mapping *mapping_of(struct mapping *maps, int n, uintptr_t addr) {
  for (int i = 0; i < n; i++)
    if (addr >= maps[i].start && addr < maps[i].end) return &maps[i];
  return NULL;
}

static int by_count_descending(const void *a, const void *b) {
  uint64_t x = ((const struct mapping *)a)->count, y = ((const struct mapping *)b)->count;
  return x < y ? 1 : x > y ? -1 : 0;
}

static void on_guest_exit(qemu_plugin_id_t id, void *p) {
  (void)id;
  (void)p;
  FILE *f = out_path[0] ? fopen(out_path, "w") : stderr;
  if (!f) f = stderr;
  struct mapping *maps = NULL;
  int n = read_mappings(&maps);
  uint64_t total = 0, unmapped = 0;
  for (struct chunk *c = chunks; c; c = c->next) {
    for (size_t i = 0; i < c->used; i++) {
      const struct block *b = &c->blocks[i];
      if (b->runs == 0) continue;
      uint64_t executed = b->runs * b->insns;
      total += executed;
      struct mapping *m = n > 0 ? mapping_of(maps, n, b->host_addr) : NULL;
      if (!m) {
        unmapped += executed;
        continue;
      }
      m->count += executed;
      if (detail[0] && strstr(m->path, detail))
        fprintf(f, "block %s 0x%" PRIxPTR " %" PRIu64 "\n", m->path, b->host_addr - m->base, executed);
    }
  }
  fprintf(f, "total %" PRIu64 "\n", total);
  /* Merge the segments of each file, then list files by count. */
  for (int i = 0; i < n; i++)
    for (int j = i + 1; j < n; j++)
      if (maps[j].count && strcmp(maps[i].path, maps[j].path) == 0) {
        maps[i].count += maps[j].count;
        maps[j].count = 0;
      }
  if (n > 0) qsort(maps, n, sizeof *maps, by_count_descending);
  for (int i = 0; i < n && maps[i].count; i++)
    fprintf(f, "file %s %" PRIu64 "\n", maps[i].path, maps[i].count);
  if (unmapped) fprintf(f, "file [unmapped] %" PRIu64 "\n", unmapped);
  if (f != stderr) fclose(f);
  free(maps);
}

EXPORT int qemu_plugin_install(qemu_plugin_id_t id, const qemu_info_t *info, int argc, char **argv) {
  (void)info;
  for (int i = 0; i < argc; i++) {
    if (strncmp(argv[i], "out=", 4) == 0) snprintf(out_path, sizeof out_path, "%s", argv[i] + 4);
    if (strncmp(argv[i], "detail=", 7) == 0) snprintf(detail, sizeof detail, "%s", argv[i] + 7);
  }
  qemu_plugin_register_vcpu_tb_trans_cb(id, on_tb_trans);
  qemu_plugin_register_atexit_cb(id, on_guest_exit, NULL);
  return 0;
}
