// Renders an SVG to a square PNG of the given size: the hicolor PNGs of the application icon.
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s SVG PNG SIZE\n", argv[0]);
    return 2;
  }
  int size = std::atoi(argv[3]);
  GError* error = nullptr;
  GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file_at_size(argv[1], size, size, &error);
  if (!pixbuf || !gdk_pixbuf_save(pixbuf, argv[2], "png", &error, nullptr)) {
    std::fprintf(stderr, "%s\n", error ? error->message : "render failed");
    return 1;
  }
  g_object_unref(pixbuf);
  return 0;
}
