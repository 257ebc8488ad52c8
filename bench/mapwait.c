/* Times one start of a program: from just before exec until X reports its first top-level window as
 * mapped. The root window's substructure events are selected before the fork, so the MapNotify cannot
 * be missed and nothing is polled. At the map it reads what the process holds from /proc (resident
 * memory and the shared libraries loaded), prints one line, then ends the program with SIGTERM.
 *
 * Usage: kb_mapwait [-t SECONDS] [-s SMAPS_COPY] PROGRAM [ARGS...]
 *   -s  also copies /proc/PID/smaps at the map into the file given (memory per library)
 * Output: ms=<exec to map, milliseconds> rss_kb=<VmRSS> anon_kb=<RssAnon> file_kb=<RssFile> libs=<n>
 *         cpu_ms=<CPU time of all its threads until the map>
 * Exit: 0 mapped; 1 the program ended or did not map in time; 2 usage or X trouble. */
#define _GNU_SOURCE
#include <dirent.h>
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <xcb/xcb.h>

static double now_ms(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

/* The value after "key:" in /proc/PID/status, in kB; -1 when absent. */
static long status_kb(pid_t pid, const char* key) {
    char path[64], line[256];
    snprintf(path, sizeof path, "/proc/%d/status", (int)pid);
    FILE* f = fopen(path, "r");
    if (!f)
        return -1;
    long value = -1;
    const size_t n = strlen(key);
    while (fgets(line, sizeof line, f)) {
        if (strncmp(line, key, n) == 0 && line[n] == ':') {
            value = strtol(line + n + 1, NULL, 10);
            break;
        }
    }
    fclose(f);
    return value;
}

/* Distinct shared objects (".so" in the file name) in /proc/PID/maps; the map lists a library once
 * per segment, and its segments follow each other, so a change of path counts a new one. */
static int shared_libraries(pid_t pid) {
    char path[64], line[1024], last[1024] = "";
    snprintf(path, sizeof path, "/proc/%d/maps", (int)pid);
    FILE* f = fopen(path, "r");
    if (!f)
        return -1;
    int count = 0;
    while (fgets(line, sizeof line, f)) {
        char* file = strchr(line, '/');
        if (!file || !strstr(file, ".so"))
            continue;
        file[strcspn(file, "\n")] = '\0';
        if (strcmp(file, last) != 0) {
            ++count;
            snprintf(last, sizeof last, "%s", file);
        }
    }
    fclose(f);
    return count;
}

/* CPU time the process has used so far, all its threads together, in milliseconds (from the
 * scheduler's nanosecond counters, so a busy machine changes it far less than the wall time). */
static double cpu_ms(pid_t pid) {
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/task", (int)pid);
    DIR* tasks = opendir(path);
    if (!tasks)
        return -1;
    double total = 0;
    struct dirent* t;
    while ((t = readdir(tasks)) != NULL) {
        if (t->d_name[0] == '.')
            continue;
        char stat[320];
        snprintf(stat, sizeof stat, "/proc/%d/task/%s/schedstat", (int)pid, t->d_name);
        FILE* f = fopen(stat, "r");
        unsigned long long ns = 0;
        if (f) {
            if (fscanf(f, "%llu", &ns) == 1)
                total += ns / 1e6;
            fclose(f);
        }
    }
    closedir(tasks);
    return total;
}

static void copy_smaps(pid_t pid, const char* to) {
    char path[64], buffer[65536];
    snprintf(path, sizeof path, "/proc/%d/smaps", (int)pid);
    FILE* in = fopen(path, "r");
    FILE* out = fopen(to, "w");
    size_t got;
    while (in && out && (got = fread(buffer, 1, sizeof buffer, in)) > 0)
        fwrite(buffer, 1, got, out);
    if (in)
        fclose(in);
    if (out)
        fclose(out);
}

static void end_child(pid_t pid) {
    kill(pid, SIGTERM);
    for (int i = 0; i < 300; ++i) { /* up to 3 s, then SIGKILL */
        if (waitpid(pid, NULL, WNOHANG) == pid)
            return;
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, NULL, 0);
}

/* The _NET_WM_PID of window w, or 0. */
static pid_t window_pid(xcb_connection_t* c, xcb_atom_t pid_atom, xcb_window_t w) {
    xcb_get_property_reply_t* r =
        xcb_get_property_reply(c, xcb_get_property(c, 0, w, pid_atom, XCB_ATOM_CARDINAL, 0, 1), NULL);
    pid_t pid = 0;
    if (r && xcb_get_property_value_length(r) == 4)
        pid = (pid_t) * (const uint32_t*)xcb_get_property_value(r);
    free(r);
    return pid;
}

int main(int argc, char** argv) {
    double limit_s = 30;
    const char* smaps = NULL;
    int first = 1;
    while (first + 1 < argc && argv[first][0] == '-') {
        if (strcmp(argv[first], "-t") == 0)
            limit_s = atof(argv[first + 1]);
        else if (strcmp(argv[first], "-s") == 0)
            smaps = argv[first + 1];
        else
            break;
        first += 2;
    }
    if (first >= argc) {
        fprintf(stderr, "usage: %s [-t SECONDS] [-s SMAPS_COPY] PROGRAM [ARGS...]\n", argv[0]);
        return 2;
    }
    xcb_connection_t* c = xcb_connect(NULL, NULL);
    if (xcb_connection_has_error(c)) {
        fprintf(stderr, "kb_mapwait: cannot open the display\n");
        return 2;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_void_cookie_t sel = xcb_change_window_attributes_checked(c, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_intern_atom_reply_t* a = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 11, "_NET_WM_PID"), NULL);
    /* The checked request's answer proves the selection is in force before the program starts. */
    xcb_generic_error_t* err = xcb_request_check(c, sel);
    if (err || !a) {
        fprintf(stderr, "kb_mapwait: cannot watch the root window\n");
        return 2;
    }
    const xcb_atom_t pid_atom = a->atom;
    free(a);

    const double t0 = now_ms();
    const pid_t pid = fork();
    if (pid < 0) {
        perror("fork");
        return 2;
    }
    if (pid == 0) {
        close(xcb_get_file_descriptor(c));
        execvp(argv[first], argv + first);
        perror("exec");
        _exit(127);
    }

    /* Windows mapped before their _NET_WM_PID could be read are asked once more at the next event. */
    const int fd = xcb_get_file_descriptor(c);
    for (;;) {
        xcb_generic_event_t* ev;
        while ((ev = xcb_poll_for_event(c)) != NULL) {
            const double t = now_ms();
            if ((ev->response_type & 0x7f) == XCB_MAP_NOTIFY) {
                const xcb_map_notify_event_t* m = (const xcb_map_notify_event_t*)ev;
                if (!m->override_redirect && window_pid(c, pid_atom, m->window) == pid) {
                    const long rss = status_kb(pid, "VmRSS");
                    const long anon = status_kb(pid, "RssAnon");
                    const long file = status_kb(pid, "RssFile");
                    const int libs = shared_libraries(pid);
                    const double cpu = cpu_ms(pid);
                    if (smaps)
                        copy_smaps(pid, smaps);
                    printf("ms=%.2f rss_kb=%ld anon_kb=%ld file_kb=%ld libs=%d cpu_ms=%.2f\n", t - t0, rss,
                           anon, file, libs, cpu);
                    fflush(stdout);
                    free(ev);
                    end_child(pid);
                    xcb_disconnect(c);
                    return 0;
                }
            }
            free(ev);
        }
        if (xcb_connection_has_error(c)) {
            fprintf(stderr, "kb_mapwait: lost the display\n");
            end_child(pid);
            return 2;
        }
        if (waitpid(pid, NULL, WNOHANG) == pid) {
            fprintf(stderr, "kb_mapwait: %s ended before mapping a window\n", argv[first]);
            return 1;
        }
        const double left = limit_s * 1e3 - (now_ms() - t0);
        if (left <= 0) {
            fprintf(stderr, "kb_mapwait: no window within %.0f s\n", limit_s);
            end_child(pid);
            return 1;
        }
        /* Wakes for X events; every 50 ms it also notices a program that ended without a window. */
        struct pollfd p = {fd, POLLIN, 0};
        poll(&p, 1, left < 50 ? (int)left + 1 : 50);
    }
}
