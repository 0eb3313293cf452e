/* The floor for a warm `usage`: list the transcript folders and stat every
   transcript (what tells whether one changed), then exit. No cache, no sums.
   Walks $CLAUDE_CONFIG_DIR/projects/<project>/ (one level) and
   $CODEX_HOME/sessions (any depth); prints how many files it saw. */
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static long seen;

static void walk(int parent, const char *name, int depth) {
    int fd = openat(parent, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *dir = fd < 0 ? NULL : fdopendir(fd);
    if (dir == NULL) return;
    struct dirent *entry;
    while ((entry = readdir(dir)) != NULL) {
        if (entry->d_name[0] == '.') continue;
        if (entry->d_type == DT_DIR) {
            if (depth > 0) walk(fd, entry->d_name, depth - 1);
            continue;
        }
        struct stat info;
        size_t len = strlen(entry->d_name);
        if (len > 6 && strcmp(entry->d_name + len - 6, ".jsonl") == 0 &&
            fstatat(fd, entry->d_name, &info, 0) == 0)
            seen++;
    }
    closedir(dir);
}

int main(void) {
    const char *claude = getenv("CLAUDE_CONFIG_DIR"), *codex = getenv("CODEX_HOME");
    char path[4096];
    if (claude) {
        snprintf(path, sizeof path, "%s/projects", claude);
        walk(AT_FDCWD, path, 1);
    }
    if (codex) {
        snprintf(path, sizeof path, "%s/sessions", codex);
        walk(AT_FDCWD, path, 64);
    }
    printf("%ld\n", seen);
    return 0;
}
