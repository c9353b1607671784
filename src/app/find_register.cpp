#include "app/find_register.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QProgressDialog>

#include <atomic>
#include <memory>
#include <thread>

#include "app/dialogs.h"
#include "app/qt_text.h"

namespace tallyglass {

std::optional<detect::FoundRegister> FindRegister(QWidget* parent, detect::SearchOptions options) {
  QProgressDialog box(parent);
  box.setWindowTitle("Найти аппарат");
  box.setObjectName("FindRegisterProgress");
  box.setLabelText("Поиск аппарата...");
  box.setCancelButtonText("Отмена");
  box.setMinimumDuration(0);
  box.setAutoClose(false);
  box.setAutoReset(false);
  box.setWindowModality(Qt::ApplicationModal);
  box.setRange(0, 0);
  box.show();

  // The worker reads the flag before every poll; the poll under way (at most
  // 1.5 s) ends first and the port is closed before the thread ends.
  auto cancelled = std::make_shared<std::atomic<bool>>(false);
  QObject::connect(&box, &QProgressDialog::canceled, &box, [cancelled, &box] {
    *cancelled = true;
    box.setLabelText("Остановка поиска...");
  });

  QEventLoop loop;
  detect::SearchResult result;
  QPointer<QProgressDialog> view(&box);
  std::thread worker([&, cancelled] {
    result = detect::SearchRegisters(options, [&, cancelled](const detect::SearchEvent& event) {
      if (*cancelled) return false;
      const QString line = ToQt(detect::DescribeEvent(event));
      const int step = event.step;
      const int steps = event.steps;
      QMetaObject::invokeMethod(&box, [view, line, step, steps, cancelled] {
        if (!view || *cancelled) return;
        if (steps > 0) {
          view->setRange(0, steps);
          view->setValue(step);
        }
        view->setLabelText(line);
      }, Qt::QueuedConnection);
      return true;
    });
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec();
  worker.join();
  box.hide();

  if (!result.found.empty()) return result.found.front();
  if (result.cancelled) return std::nullopt;
  if (result.ports_searched == 0)
    ShowInform(parent, "Последовательных портов не найдено. Проверьте, подключён ли аппарат.");
  else
    ShowInform(parent, "Аппарат не найден. Проверьте питание и кабель аппарата.");
  return std::nullopt;
}

}  // namespace tallyglass
