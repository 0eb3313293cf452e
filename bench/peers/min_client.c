/* The floor for a hook: read stdin, connect, write it, exit. No parsing. */
#include <stddef.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <stdlib.h>

int main(void) {
    static char buf[1 << 21];
    size_t len = 0;
    ssize_t n;
    while ((n = read(0, buf + len, sizeof buf - len - 1)) > 0) len += (size_t)n;
    buf[len++] = '\n';
    const char *home = getenv("HOME");
    struct sockaddr_un addr;
    memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    strncpy(addr.sun_path, home, sizeof addr.sun_path - 1);
    strncat(addr.sun_path, "/.vorla-agents/run/vorla.sock", sizeof addr.sun_path - strlen(addr.sun_path) - 1);
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0 || connect(fd, (struct sockaddr *)&addr, sizeof addr) != 0) return 0;
    for (size_t off = 0; off < len; off += (size_t)n)
        if ((n = send(fd, buf + off, len - off, MSG_NOSIGNAL)) <= 0) return 0;
    close(fd);
    return 0;
}
