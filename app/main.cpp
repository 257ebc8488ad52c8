#include <QApplication>

#include "app/AboutBox.h"
#include "app/Tfrmmain.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return 0;
}
