#include "app/entry.h"

int main(int argc, char** argv) { zi::app::Main(argc, argv); }
