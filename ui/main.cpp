// Start-up of zumt-a and zumt-b: the application, its title, the main window
// of the edition this program was built as, and the event loop.
#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

#include "editions/edition_profile.h"
#include "ui/un_Main.h"
#include "verification/verification_run.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  // The program speaks Russian only: Qt's own texts (the file dialog's
  // buttons and labels) in Russian too, whatever the desktop's language.
  QTranslator qtTexts;
  if (qtTexts.load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QApplication::installTranslator(&qtTexts);
  // The application title is the caption of the plain message boxes and the
  // error boxes (kApplicationTitle). It is deliberately not made the display
  // name: on some desktops Qt appends the display name to every window
  // title, and the main window's title must be the edition's caption alone.
  QApplication::setApplicationName(QFileInfo(QString::fromLocal8Bit(argv[0])).fileName());
  QGuiApplication::setDesktopFileName(QApplication::applicationName());

  zumt::TfrmMain frmMain(zumt::BuiltEdition(), zumt::ReportPath());
  QApplication::setWindowIcon(frmMain.windowIcon());
  frmMain.show();
  app.exec();
  return 0;
}
