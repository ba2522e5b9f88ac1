// The history editor as a dialog: OK hands the list back by number, Cancel changes nothing,
// the status bar counts with thousands separators, a click on the sorted column reverses it.
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "catalogue/FormatSettings.h"
#include "columns/ZmListView.h"
#include "dialogs/FormZmEditFileList.h"
#include "tests/support/UiWait.h"

class FormZmEditFileListTest : public QObject {
  Q_OBJECT

  QWidget Owner_;
  std::vector<std::string> List_;
  std::optional<bool> Ok_;

  TFormZmEditFileList* Open() {
    Ok_.reset();
    ExecuteEditFileList(&Owner_, List_, [this](bool ok) { Ok_ = ok; });
    return WaitWindow<TFormZmEditFileList>("FormZmEditFileList");
  }
  static void Click(QWidget* dialog, const char* button) {
    dialog->findChild<QPushButton*>(QString::fromLatin1(button))->click();
  }
  static QString Panel(QWidget* dialog, int i) { return dialog->findChildren<QLabel*>("StatusPanel").at(i)->text(); }

 private slots:
  void initTestCase() {
    FormatSettings().ThousandSeparator = ",";
    Owner_.show();
  }

  void okAndCancel() {
    List_ = {"/a/", "/b/", "/c/", "/d/", "/e/"};
    TFormZmEditFileList* editor = Open();
    QVERIFY(editor);
    emit editor->ListView()->ColumnClick(0);  // "順番" again: reversed
    QCOMPARE(editor->ListView()->OnData(0, 1).Text, QStringLiteral("/e/"));
    editor->ListView()->SetSelected(1, true);  // "/d/"
    editor->ListView()->SetSelected(3, true);  // "/b/"
    Click(editor, "Button1");
    Click(editor, "BtnOk");
    QTRY_VERIFY(Ok_.has_value());
    QVERIFY(*Ok_);
    QCOMPARE(List_, (std::vector<std::string>{"/a/", "/c/", "/e/"}));

    editor = Open();
    QVERIFY(editor);
    Click(editor, "Button3");
    Click(editor, "BtnCancel");
    QTRY_VERIFY(Ok_.has_value());
    QVERIFY(!*Ok_);
    QCOMPARE(List_.size(), size_t(3));
  }

  void theStatusBarCountsWithSeparators() {
    List_.assign(1234, "/x/");
    TFormZmEditFileList* editor = Open();
    QVERIFY(editor);
    QCOMPARE(Panel(editor, 1), QStringLiteral("1,234 個のオブジェクト"));
    editor->ListView()->SetFocusedRow(9);
    editor->ListView()->SetSelected(9, true);
    QCOMPARE(Panel(editor, 0), QStringLiteral("1 個のオブジェクトを選択"));
    QCOMPARE(Panel(editor, 1), QStringLiteral("10 / 1,234"));
    editor->reject();
  }

  // Destroyed while shown, with a layout of its list pending, it reads none of its rows.
  void goesAwayWhileShown() {
    List_ = {"/a/", "/b/"};
    TFormZmEditFileList* editor = Open();
    QVERIFY(editor);
    editor->ListView()->SetItemsCount(2);
    delete editor;
  }
};

QTEST_MAIN(FormZmEditFileListTest)
#include "FormZmEditFileList_test.moc"
