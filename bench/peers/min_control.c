/* The floor for a terminal command: send argv[1] as one line to the app's
   command socket, copy the reply line to stdout, exit. No parsing, no table. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

int main(int argc, char **argv) {
    static char buf[1 << 22];
    if (argc < 2) return 2;
    struct sockaddr_un addr;
    memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    snprintf(addr.sun_path, sizeof addr.sun_path, "%s/.vorla-agents/run/control.sock", getenv("HOME"));
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0 || connect(fd, (struct sockaddr *)&addr, sizeof addr) != 0) return 3;
    size_t len = strlen(argv[1]);
    memcpy(buf, argv[1], len);
    buf[len++] = '\n';
    if (send(fd, buf, len, MSG_NOSIGNAL) != (ssize_t)len) return 1;
    ssize_t n;
    len = 0;
    while ((n = read(fd, buf + len, sizeof buf - len)) > 0) {
        len += (size_t)n;
        if (buf[len - 1] == '\n') break;
    }
    fwrite(buf, 1, len, stdout);
    return len > 0 ? 0 : 1;
}
