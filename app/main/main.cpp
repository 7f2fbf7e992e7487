#include "app/job.h"

int main(int argc, char** argv) { return tolmek::TolmekMain(argc, argv); }
