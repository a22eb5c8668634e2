#include "app/QtFilePageWindow.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include "ui_MainWindow.h"

namespace {
void selectItem(QWidget* group, int item) {
    if (auto* buttons = group->findChild<QButtonGroup*>())
        if (QAbstractButton* b = buttons->button(item))
            b->setChecked(true);
}

QString qs(const std::string& s) { return QString::fromStdString(s); }
} // namespace

QtFilePageWindow::QtFilePageWindow(Ui::TMainWin& u, OpenDialog d)
    : openDialog(std::move(d)), ui(u) {}

void QtFilePageWindow::setPauseChecked(bool checked) {
    ui.MNU_Pause->setChecked(checked);
    ui.BTN_Pause->setChecked(checked);
}

void QtFilePageWindow::setReadoutText(Readout which, const std::string& t) {
    switch (which) {
    case Readout::Range:
        ui.EDIT_range->setText(qs(t));
        break;
    case Readout::Speed:
        ui.EDIT_speed->setText(qs(t));
        break;
    case Readout::CalculatedSpeed:
        ui.EDIT_calc_spd->setText(qs(t));
        break;
    case Readout::WaypointId:
        // The identifier is bytes from a file; show them as Latin-1 rather than guess UTF-8.
        ui.EDIT_WaypointID->setText(
            QString::fromLatin1(t.data(), static_cast<qsizetype>(t.size())));
        break;
    case Readout::None:
        break;
    }
}
int QtFilePageWindow::pauseSecondsPosition() const { return ui.UpDown_sec->position(); }
int QtFilePageWindow::recordsPerTickPosition() const { return ui.UpDown_lps->position(); }
std::string QtFilePageWindow::triggerText() const {
    return ui.EDIT_trigger->text().toLatin1().toStdString();
}
void QtFilePageWindow::setTriggerText(const std::string& t) {
    ui.EDIT_trigger->setText(QString::fromLatin1(t.data(), static_cast<qsizetype>(t.size())));
}
void QtFilePageWindow::setOpenFileCaption(const std::string& t) { ui.BTN_OpenFile->setText(qs(t)); }
void QtFilePageWindow::setFileNameText(const std::string& t) { ui.FileName->setText(qs(t)); }

int QtFilePageWindow::currentPage() const { return ui.TAB_main->currentIndex(); }
void QtFilePageWindow::selectPage(int page) { ui.TAB_main->setCurrentIndex(page); }
int QtFilePageWindow::fileTypeItem() const {
    const auto* buttons = ui.RadioGroupFileType->findChild<QButtonGroup*>();
    return buttons ? buttons->checkedId() : -1;
}
void QtFilePageWindow::selectFileTypeItem(int item) { selectItem(ui.RadioGroupFileType, item); }
void QtFilePageWindow::selectFormatItem(int item) { selectItem(ui.GroupFormat, item); }
bool QtFilePageWindow::loopChecked() const { return ui.CheckBoxLoop->isChecked(); }
void QtFilePageWindow::setLoopChecked(bool checked) { ui.CheckBoxLoop->setChecked(checked); }
void QtFilePageWindow::setRecordsPerTickPosition(int position) {
    ui.UpDown_lps->setPosition(position);
}
std::string QtFilePageWindow::chunksText() const { return ui.EDIT_chunks->text().toStdString(); }
void QtFilePageWindow::setChunksText(const std::string& t) { ui.EDIT_chunks->setText(qs(t)); }
void QtFilePageWindow::setPauseSecondsPosition(int position) {
    ui.UpDown_sec->setPosition(position);
}
std::string QtFilePageWindow::secPauseText() const {
    return ui.EDIT_SecPause->text().toStdString();
}
void QtFilePageWindow::setSecPauseText(const std::string& t) { ui.EDIT_SecPause->setText(qs(t)); }

std::optional<std::string> QtFilePageWindow::runOpenDialog(const std::string& filter,
                                                           int filterIndex) {
    return openDialog ? openDialog(filter, filterIndex) : std::nullopt;
}

QStringList QtNameFilters(const std::string& filter) {
    // "Text files (*.txt)|*.txt|All files (*.*)|*.*": each name is shown as it stands; the
    // pattern after it is what matches, where "*.*" means every file, as it does on the system
    // the names come from (here it would want a dot).
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        if (patterns.split(' ', Qt::SkipEmptyParts).contains("*.*"))
            patterns = "*";
        // Recordings are text too, named for what they hold: the plain text filter, the
        // default, lists them as well.
        if (patterns == "*.txt")
            patterns += " *.nmea *.avi";
        filters << parts[i] + " (" + patterns + ")";
    }
    return filters;
}

QString SamplesFolder() {
    const QString appDir = QCoreApplication::applicationDirPath();
    for (const QString& place : {QDir(appDir).filePath("../share/tarrow/samples"),
                                 QStringLiteral(TARROW_SAMPLES_SOURCE_DIR)})
        if (QFileInfo(place).isDir())
            return QDir::cleanPath(place);
    return QDir::homePath();
}

std::unique_ptr<QFileDialog> MakeOpenDialog(const std::string& filter, int filterIndex,
                                            const QString& folder) {
    const QStringList filters = QtNameFilters(filter);
    auto dialog = std::make_unique<QFileDialog>(nullptr, QObject::tr("Open"));
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setOption(QFileDialog::ReadOnly, true);
    // The pattern each filter carries is not shown; the names already say it.
    dialog->setOption(QFileDialog::HideNameFilterDetails, true);
    dialog->setDirectory(folder.isEmpty() ? SamplesFolder() : folder);
    dialog->setNameFilters(filters);
    if (filterIndex >= 1 && filterIndex <= filters.size())
        dialog->selectNameFilter(filters[filterIndex - 1]);
    return dialog;
}

std::optional<std::string> RunQtOpenDialog(const std::string& filter, int filterIndex,
                                           QString& folder) {
    const auto dialog = MakeOpenDialog(filter, filterIndex, folder);
    const bool accepted = dialog->exec() == QDialog::Accepted;
    // Opened or not, the next time starts where the user was.
    folder = dialog->directory().absolutePath();
    if (!accepted || dialog->selectedFiles().isEmpty())
        return std::nullopt;
    return dialog->selectedFiles().first().toStdString();
}
