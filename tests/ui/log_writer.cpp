// Writes rows to the day's diagnostic log: "writer W row R" for R from 0 to
// N-1, as one process of several logging at once.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/kernel/nls/text_conv.h"
#include "ui/html_log.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    int writer = std::atoi(argv[1]), rows = std::atoi(argv[2]);
    for (int row = 0; row < rows; ++row)
        skyvane::ui::WriteLog(row % 7 == 0,
                              skyvane::FromUtf8("writer " + std::to_string(writer) + " row " + std::to_string(row)));
}
