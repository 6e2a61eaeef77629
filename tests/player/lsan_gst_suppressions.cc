// LeakSanitizer's built-in suppressions for the tests that run GStreamer: GLib, GObject and
// GStreamer keep type registrations, the plugin registry and thread pools for the life of the
// process, which the leak checker reports at exit. Our own allocations are still checked.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libglib-2.0.so\n"
         "leak:libgobject-2.0.so\n"
         "leak:libgstreamer-1.0.so\n"
         "leak:libgstbase-1.0.so\n"
         "leak:/gstreamer-1.0/\n";
}
