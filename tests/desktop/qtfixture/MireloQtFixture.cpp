// A Qt 5 widgets program for the desktop tests: one window with a line edit and a text edit.
// --focus=line gives the line edit the focus, and the window the title "Mirelo Qt line";
// otherwise the text edit has it, under "Mirelo Qt text".
#include <QApplication>
#include <QLineEdit>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QWidget>
#include <cstring>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  auto* line = new QLineEdit;
  auto* text = new QTextEdit;
  text->setAcceptRichText(false);
  layout->addWidget(line);
  layout->addWidget(text);
  bool lineFocus = argc > 1 && std::strcmp(argv[1], "--focus=line") == 0;
  window.setWindowTitle(lineFocus ? "Mirelo Qt line" : "Mirelo Qt text");
  window.resize(600, 400);
  window.show();
  (lineFocus ? static_cast<QWidget*>(line) : text)->setFocus();
  return app.exec();
}
