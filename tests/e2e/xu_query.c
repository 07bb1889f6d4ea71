/* velmora-xu-query: one raw UVCIOC_CTRL_QUERY on a video node, for checks without the project's code.
 * usage: velmora-xu-query DEVICE UNIT SELECTOR get_len|get_info|get_cur LENGTH|set_cur HEX
 * Prints the bytes read as hexadecimal, "ok" for set_cur, or "error ERRNO NAME" (exit 1). */
#include <errno.h>
#include <fcntl.h>
#include <linux/usb/video.h>
#include <linux/uvcvideo.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>

static int hex_digit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int main(int argc, char** argv)
{
    unsigned char data[4096];
    struct uvc_xu_control_query query;
    size_t length = 0;
    int fd;

    if (argc < 5) {
        fprintf(stderr,
                "usage: velmora-xu-query DEVICE UNIT SELECTOR get_len|get_info|get_cur LENGTH|set_cur HEX\n");
        return 2;
    }
    memset(&query, 0, sizeof query);
    memset(data, 0, sizeof data);
    query.unit = (unsigned char)atoi(argv[2]);
    query.selector = (unsigned char)atoi(argv[3]);
    if (strcmp(argv[4], "get_len") == 0) {
        query.query = UVC_GET_LEN;
        length = 2;
    } else if (strcmp(argv[4], "get_info") == 0) {
        query.query = UVC_GET_INFO;
        length = 1;
    } else if (strcmp(argv[4], "get_cur") == 0 && argc == 6) {
        query.query = UVC_GET_CUR;
        length = (size_t)atoi(argv[5]);
    } else if (strcmp(argv[4], "set_cur") == 0 && argc == 6) {
        const char* hex = argv[5];
        query.query = UVC_SET_CUR;
        while (hex[0] && hex[1] && length < sizeof data) {
            int high = hex_digit(hex[0]), low = hex_digit(hex[1]);
            if (high < 0 || low < 0) break;
            data[length++] = (unsigned char)(high * 16 + low);
            hex += 2;
        }
        if (*hex) {
            fprintf(stderr, "velmora-xu-query: bad hexadecimal data\n");
            return 2;
        }
    } else {
        fprintf(stderr, "velmora-xu-query: unknown query %s\n", argv[4]);
        return 2;
    }
    if (length == 0 || length > sizeof data) {
        fprintf(stderr, "velmora-xu-query: bad length\n");
        return 2;
    }
    query.size = (unsigned short)length;
    query.data = data;

    fd = open(argv[1], O_RDWR);
    if (fd < 0) {
        printf("error %d %s\n", errno, strerror(errno));
        return 1;
    }
    if (ioctl(fd, UVCIOC_CTRL_QUERY, &query) != 0) {
        printf("error %d %s\n", errno, strerror(errno));
        close(fd);
        return 1;
    }
    close(fd);
    if (query.query == UVC_SET_CUR) {
        printf("ok\n");
    } else {
        size_t i;
        for (i = 0; i < length; ++i) printf("%02x", data[i]);
        printf("\n");
    }
    return 0;
}
