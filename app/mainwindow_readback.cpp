// Stub: the read-back run comes with its own change.
#include "app/mainwindow.h"

void MainWindow::startReadBack() {}
void MainWindow::pollReceive() {}
void MainWindow::finishReadBack() {}
void MainWindow::failReadBack() {}
void MainWindow::blinkDataLed() {}
void MainWindow::restoreAliasesAfterFailedRead() {}
