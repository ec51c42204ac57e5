// Stub: the module link commands come with their own change.
#include "app/mainwindow.h"

void MainWindow::startProgramming() {}
void MainWindow::programmingTick() {}
void MainWindow::finishProgramming() {}
void MainWindow::sendProgrammingStep(int) {}
void MainWindow::sendTestCall() {}
void MainWindow::sendNoNetworkNotice() {}
bool MainWindow::openSerialPort() { return false; }
void MainWindow::abortProgramming() {}
void MainWindow::reportWriteFailure() {}
