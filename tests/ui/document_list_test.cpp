// The document list: choosing (adding and replacing), marking, removing,
// opening by double click, horizontal scrolling, and a run from the window.
#include <QPushButton>
#include <QScrollBar>
#include <QStyleOptionViewItem>
#include <QTemporaryDir>

#include "tests/ui/ui_test_support.h"
#include "verification/expected_report.h"
#include "verification/fixture_entries.h"

namespace zumt::test {
namespace {

const QString kAddCaption = "Добавить/Заменить файлы";
const QString kAddText =
    "Вы хотите добавить файлы к уже выбранным или произвести замену?\n\rДля замены нажмите кнопку Нет";
const QString kRemoveCaption = "Удалить файлы из списка";
const QString kRemoveText = "Удалить выделенные файлы из списка?\n\rДля удаления нажмите кнопку Да";

QString PathOf(QChar letter) { return QString("/d/%1.xls").arg(letter); }

// The list as letters ("ab" for /d/a.xls, /d/b.xls) and as marks ("10").
QString Letters(const TCheckListBox& list) {
  QString s;
  for (int i = 0; i < list.count(); ++i) s += list.PathAt(i).mid(3, 1);
  return s;
}
QString Marks(const TCheckListBox& list) {
  QString s;
  for (int i = 0; i < list.count(); ++i) s += list.Checked(i) ? '1' : '0';
  return s;
}
QString Selection(const TCheckListBox& list) {
  QString s;
  for (int i = 0; i < list.count(); ++i) s += list.item(i)->isSelected() ? '1' : '0';
  return s;
}

}  // namespace

class DocumentListTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  std::string report() const { return (dir_.path() + "/Errors.txt").toStdString(); }

  struct Window {
    Script script;
    TfrmMain w;
    explicit Window(const std::string& report) : w(FakeCore(EditionA(), report), script.Hooks()) {}
    TCheckListBox& list() { return w.CheckListBox1(); }
    void click(const char* name) { QTest::mouseClick(w.findChild<QPushButton*>(name), Qt::LeftButton); }
    // Entries from letters, marks from "1"/"0", selection from "1"/"0".
    void fill(const QString& letters, const QString& marks = {}, const QString& selected = {}) {
      for (QChar c : letters) list().AddPaths({PathOf(c)});
      for (int i = 0; i < marks.size(); ++i) list().SetChecked(i, marks[i] == '1');
      for (int i = 0; i < selected.size(); ++i) list().item(i)->setSelected(selected[i] == '1');
      w.FilesChosen = list().count() > 0;
    }
    bool shown() {
      w.show();
      return QTest::qWaitForWindowExposed(&w);
    }
  };

 private Q_SLOTS:
  // Steps: "+ab" chooses a and b in the dialog, "-" cancels the dialog,
  // "x" selects everything and removes it. `answers` answer the questions
  // in order; `asked` lists their captions.
  void choosingFiles_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("answers");
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<QString>("list");
    QTest::addColumn<bool>("filesChosen");
    QTest::newRow("first choice asks nothing") << QStringList{"+ab"} << "" << QStringList{} << "ab" << true;
    QTest::newRow("cancelled first choice") << QStringList{"-", "+a"} << "" << QStringList{} << "a" << true;
    QTest::newRow("add") << QStringList{"+ab", "+c"} << "1" << QStringList{kAddCaption} << "abc" << true;
    QTest::newRow("add then cancel keeps the list")
        << QStringList{"+ab", "-"} << "1" << QStringList{kAddCaption} << "ab" << true;
    QTest::newRow("replace") << QStringList{"+ab", "+c"} << "0" << QStringList{kAddCaption} << "c" << true;
    QTest::newRow("replace then cancel empties the list and the next choice asks nothing")
        << QStringList{"+ab", "-", "+d"} << "0" << QStringList{kAddCaption} << "d" << true;
    QTest::newRow("replace then cancel")
        << QStringList{"+ab", "-"} << "0" << QStringList{kAddCaption} << "" << false;
    QTest::newRow("removing everything: the next choice asks nothing")
        << QStringList{"+ab", "x", "+c"} << "1" << QStringList{kRemoveCaption} << "c" << true;
    QTest::newRow("a duplicate is a second entry")
        << QStringList{"+ab", "+a"} << "1" << QStringList{kAddCaption} << "aba" << true;
    QTest::newRow("the dialog's order") << QStringList{"+cab"} << "" << QStringList{} << "cab" << true;
  }
  void choosingFiles() {
    QFETCH(QStringList, steps);
    QFETCH(QString, answers);
    QFETCH(QStringList, asked);
    QFETCH(QString, list);
    QFETCH(bool, filesChosen);
    Window win(report());
    for (QChar a : answers) win.script.answers.push_back(a == '1');
    for (const QString& step : steps) {
      if (step == "x") {
        win.list().selectAll();
        win.click("btnCleanList");
        continue;
      }
      if (step == "-") {
        win.script.choices.push_back(std::nullopt);
      } else {
        QStringList files;
        for (QChar c : step.mid(1)) files << PathOf(c);
        win.script.choices.push_back(Files(files));
      }
      win.click("btnChoiceFile");
    }
    QCOMPARE(win.script.unexpected, QStringList{});
    QStringList captions;
    for (const Shown& q : win.script.questions) {
      captions << q.caption;
      QCOMPARE(q.text, q.caption == kAddCaption ? kAddText : kRemoveText);
    }
    QCOMPARE(captions, asked);
    QCOMPARE(Letters(win.list()), list);
    QCOMPARE(Marks(win.list()), QString(list.size(), '0'));
    QCOMPARE(win.w.FilesChosen, filesChosen);
  }

  void markButtons_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::newRow("check all") << "btnCheckAll"
                               << "1010"
                               << "1111";
    QTest::newRow("uncheck all") << "btnUncheckAll"
                                 << "1010"
                                 << "0000";
    QTest::newRow("invert") << "btnInvertCheck"
                            << "1010"
                            << "0101";
    QTest::newRow("check all, empty") << "btnCheckAll"
                                      << ""
                                      << "";
    QTest::newRow("uncheck all, empty") << "btnUncheckAll"
                                        << ""
                                        << "";
    QTest::newRow("invert, empty") << "btnInvertCheck"
                                   << ""
                                   << "";
  }
  void markButtons() {
    QFETCH(QString, button);
    QFETCH(QString, before);
    QFETCH(QString, after);
    Window win(report());
    const QString letters = QString("abcd").left(before.size());
    const QString selected = QString("0110").left(before.size());
    win.fill(letters, before, selected);
    const bool chosen = win.w.FilesChosen;
    win.click(button.toLatin1().constData());
    QCOMPARE(Marks(win.list()), after);
    QCOMPARE(Letters(win.list()), letters);
    QCOMPARE(Selection(win.list()), selected);
    QCOMPARE(win.w.FilesChosen, chosen);
    QVERIFY(win.script.questions.empty() && win.script.messages.empty());
  }

  void removal_data() {
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("answers");
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("marks");
    QTest::addColumn<bool>("nothingBox");
    // Entries abcd, marks 1100: a checked and selected, b checked only, c selected only.
    QTest::newRow("yes removes the selected, checked or not") << "1010"
                                                              << "1"
                                                              << "bd"
                                                              << "10" << false;
    QTest::newRow("no removes nothing") << "1010"
                                        << "0"
                                        << "abcd"
                                        << "1100" << false;
    QTest::newRow("no selection") << "0000"
                                  << ""
                                  << "abcd"
                                  << "1100" << true;
    QTest::newRow("everything") << "1111"
                                << "1"
                                << ""
                                << "" << false;
  }
  void removal() {
    QFETCH(QString, selected);
    QFETCH(QString, answers);
    QFETCH(QString, list);
    QFETCH(QString, marks);
    QFETCH(bool, nothingBox);
    Window win(report());
    win.fill("abcd", "1100", selected);
    for (QChar a : answers) win.script.answers.push_back(a == '1');
    win.click("btnCleanList");
    QCOMPARE(win.script.unexpected, QStringList{});
    QCOMPARE(Letters(win.list()), list);
    QCOMPARE(Marks(win.list()), marks);
    QCOMPARE(win.w.FilesChosen, !list.isEmpty());
    if (nothingBox) {
      QVERIFY(win.script.questions.empty());
      QCOMPARE(win.script.messages.size(), 1u);
      QCOMPARE(win.script.messages[0].icon, QMessageBox::Question);
      QCOMPARE(win.script.messages[0].caption, QString("Файлы не выбраны"));
      QCOMPARE(win.script.messages[0].text, QString("Файлы для удаления не выбраны."));
    } else {
      QCOMPARE(win.script.questions.size(), 1u);
      QCOMPARE(win.script.questions[0].caption, kRemoveCaption);
      QCOMPARE(win.script.questions[0].text, kRemoveText);
      QVERIFY(win.script.messages.empty());
    }
    if (!list.isEmpty()) QVERIFY(win.list().currentItem());
  }

  // Mouse and keyboard on the list: where a press lands decides what it does.
  void pressesOnTheList_data() {
    QTest::addColumn<QString>("gesture");  // click, dclick or space
    QTest::addColumn<QString>("where");    // box, text or blank
    QTest::addColumn<QString>("marks");
    QTest::addColumn<QString>("opened");  // letter of the opened entry, or ""
    QTest::newRow("click on the box toggles") << "click"
                                              << "box"
                                              << "01"
                                              << "";
    QTest::newRow("click on the text only selects") << "click"
                                                    << "text"
                                                    << "00"
                                                    << "";
    QTest::newRow("space toggles the current entry") << "space"
                                                     << "text"
                                                     << "01"
                                                     << "";
    QTest::newRow("double click on the text opens") << "dclick"
                                                    << "text"
                                                    << "00"
                                                    << "b";
    QTest::newRow("double click on the box toggles twice and opens") << "dclick"
                                                                     << "box"
                                                                     << "00"
                                                                     << "b";
    QTest::newRow("double click below the entries opens the current one") << "dclick"
                                                                          << "blank"
                                                                          << "00"
                                                                          << "a";
  }
  void pressesOnTheList() {
    QFETCH(QString, gesture);
    QFETCH(QString, where);
    QFETCH(QString, marks);
    QFETCH(QString, opened);
    Window win(report());
    win.fill("ab", "00");
    QVERIFY(win.shown());
    TCheckListBox& list = win.list();
    list.setCurrentRow(0, QItemSelectionModel::NoUpdate);
    QWidget* view = list.viewport();
    const QRect row = list.visualItemRect(list.item(1));
    QStyleOptionViewItem option;
    option.initFrom(&list);
    option.rect = row;
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    const QRect box = list.style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, &list);
    const QPoint at = where == "box"    ? box.center()
                      : where == "text" ? QPoint(box.right() + 40, row.center().y())
                                        : QPoint(100, view->height() - 5);
    QVERIFY(!list.itemAt(QPoint(100, view->height() - 5)));
    if (gesture == "click") QTest::mouseClick(view, Qt::LeftButton, {}, at);
    if (gesture == "dclick")
      QTest::mouseDClick(view, Qt::LeftButton, {}, at);  // press, release, second press, release
    if (gesture == "space") {
      QTest::mouseClick(view, Qt::LeftButton, {}, at);
      QTest::keyClick(&list, Qt::Key_Space);
    }
    QCOMPARE(Marks(list), marks);
    QCOMPARE(list.currentRow(), where == "blank" ? 0 : 1);
    if (where == "text") QVERIFY(list.item(1)->isSelected());
    QCOMPARE(win.script.opened.size(), opened.isEmpty() ? 0u : 1u);
    if (!opened.isEmpty()) {
      QCOMPARE(QString::fromStdString(win.script.opened[0].first), PathOf(opened[0]));
      QCOMPARE(win.script.opened[0].second, ShowState::Normal);
    }
  }

  void doubleClickOnAnEmptyListDoesNothing() {
    Window win(report());
    QVERIFY(win.shown());
    QTest::mouseDClick(win.list().viewport(), Qt::LeftButton, {}, QPoint(50, 50));
    win.w.CheckListBox1DblClick();
    QVERIFY(win.script.opened.empty());
    QVERIFY(win.script.messages.empty());
  }

  // The list scrolls far enough to show the whole of its widest path, check
  // box included.
  void theHorizontalScrollReachesTheEndOfALongPath() {
    Window win(report());
    QVERIFY(win.shown());
    QString longPath = "/";
    for (int i = 0; i < 12; ++i) longPath += QString("очень длинная папка %1/").arg(i);
    longPath += "форма.xls";
    win.script.choices = {Files({"/d/a.xls", longPath}), Files({"/d/b.xls"})};
    win.script.answers = {true};
    win.click("btnChoiceFile");
    win.click("btnChoiceFile");  // a shorter path after it leaves the extent as it was
    TCheckListBox& list = win.list();
    QCoreApplication::processEvents();
    QScrollBar* bar = list.horizontalScrollBar();
    QVERIFY(bar->maximum() > 0);
    bar->setValue(bar->maximum());
    QCoreApplication::processEvents();
    const QRect entry = list.visualItemRect(list.item(1));
    const int textWidth = list.fontMetrics().horizontalAdvance(longPath);
    QVERIFY2(entry.width() > textWidth, qPrintable(QString("%1 <= %2").arg(entry.width()).arg(textWidth)));
    QVERIFY2(entry.right() < list.viewport()->width(),
             qPrintable(
                 QString("entry ends at %1, viewport %2").arg(entry.right()).arg(list.viewport()->width())));
    QVERIFY(entry.left() < 0);  // it did have to scroll
  }

  // A run from the window over real workbooks: three entries, only the
  // second checked; its one entry replaces what the report held.
  void aRunFromTheWindowOverFixtures() {
    for (const char* name : {"form_clean.xls", "form_failed.xls", "form_b_only.xls"})
      if (!QFile::exists(QString::fromStdString(expect::FixturePath(name))))
        QSKIP(qPrintable(QString("fixture missing: ") + name));
    {
      QFile old(QString::fromStdString(report()));
      QVERIFY(old.open(QIODevice::WriteOnly));
      old.write("an old report\r\n");
    }
    Script script;
    TfrmMain w(EditionA(), report(), script.Hooks());
    const QStringList files = {QString::fromStdString(expect::FixturePath("form_clean.xls")),
                               QString::fromStdString(expect::FixturePath("form_failed.xls")),
                               QString::fromStdString(expect::FixturePath("form_b_only.xls"))};
    script.choices = {Files(files)};
    QTest::mouseClick(w.findChild<QPushButton*>("btnChoiceFile"), Qt::LeftButton);
    w.CheckListBox1().SetChecked(1, true);
    QTest::mouseClick(w.findChild<QPushButton*>("btnVerificationData"), Qt::LeftButton);
    QVERIFY(script.messages.empty());
    QCOMPARE(expect::ReadReport(report()),
             expect::RecognisedEntry(files[1].toStdString(), expect::StandardFormBody()));
    QCOMPARE(script.opened.size(), 1u);
    QCOMPARE(script.opened[0].first, report());
    QVERIFY(!w.Core().FormConnection().IsOpen());
  }
};

}  // namespace zumt::test

QTEST_MAIN(zumt::test::DocumentListTest)
#include "document_list_test.moc"
