// Stub: save, open and print come with their own change.
#include "app/mainwindow.h"

void MainWindow::saveSettings() {}
void MainWindow::openSettings() {}
void MainWindow::printReport() {}
