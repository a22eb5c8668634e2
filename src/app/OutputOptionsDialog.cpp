#include "app/OutputOptionsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "engine/Emulator.h"

namespace {
QCheckBox* checkBox(QWidget* parent, const char* name, const QString& text) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(name);
    return box;
}

QSpinBox* spinBox(QWidget* parent, const char* name, int low, int high, int value,
                  const QString& suffix) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(name);
    spin->setRange(low, high);
    spin->setValue(value);
    spin->setSuffix(suffix);
    return spin;
}

QDoubleSpinBox* secondsBox(QWidget* parent, const char* name, double low, double high,
                           double value) {
    auto* spin = new QDoubleSpinBox(parent);
    spin->setObjectName(name);
    spin->setDecimals(1);
    spin->setRange(low, high);
    spin->setValue(value);
    spin->setSuffix(QStringLiteral(" s"));
    return spin;
}
} // namespace

OutputOptionsDialog::OutputOptionsDialog(Emulator& e, QWidget* parent)
    : QDialog(parent), emulator(e) {
    setObjectName(QStringLiteral("OutputOptions"));
    setWindowTitle(QStringLiteral("Output Options"));
    setModal(false);

    auto* faults = new QGroupBox(QStringLiteral("Faults (never saved; all off at start)"), this);
    faultGroup = faults;
    faults->setObjectName(QStringLiteral("FLT_Group"));
    auto* grid = new QGridLayout(faults);
    int row = 0;
    const auto line = [&](QCheckBox* box, QWidget* value = nullptr, QWidget* more = nullptr) {
        grid->addWidget(box, row, 0);
        if (value)
            grid->addWidget(value, row, 1);
        if (more)
            grid->addWidget(more, row, 2);
        ++row;
    };
    checksum = checkBox(faults, "FLT_Checksum", QStringLiteral("Wrong checksum, every"));
    checksumEvery = spinBox(faults, "FLT_ChecksumEvery", 1, 9999, 1, QStringLiteral(" record(s)"));
    line(checksum, checksumEvery);
    drop = checkBox(faults, "FLT_Drop", QStringLiteral("Drop a record, every"));
    dropEvery = spinBox(faults, "FLT_DropEvery", 1, 9999, 5, QStringLiteral(" record(s)"));
    line(drop, dropEvery);
    invalid = checkBox(faults, "FLT_Invalid", QStringLiteral("Data flagged invalid (status V)"));
    line(invalid);
    garbage = checkBox(faults, "FLT_Garbage", QStringLiteral("A line of garbage, every"));
    garbageEvery = spinBox(faults, "FLT_GarbageEvery", 1, 9999, 3, QStringLiteral(" tick(s)"));
    line(garbage, garbageEvery);
    repeat = checkBox(faults, "FLT_Repeat", QStringLiteral("Send each record"));
    repeatCount = spinBox(faults, "FLT_RepeatCount", 2, 100, 2, QStringLiteral(" times"));
    line(repeat, repeatCount);
    cut = checkBox(faults, "FLT_Cut", QStringLiteral("Cut each record after"));
    cutAfter = spinBox(faults, "FLT_CutAfter", 1, 9999, 20, QStringLiteral(" bytes"));
    line(cut, cutAfter);
    silence = checkBox(faults, "FLT_Silence", QStringLiteral("Silent for"));
    silenceSeconds = secondsBox(faults, "FLT_SilenceSeconds", 0.1, 86399.9, 5.0);
    silenceEvery = secondsBox(faults, "FLT_SilenceEvery", 0.2, 86400.0, 30.0);
    silenceEvery->setPrefix(QStringLiteral("every "));
    // A silence as long as its period would leave nothing: it stays a tenth shorter.
    const auto limitSilence = [this] { silenceSeconds->setMaximum(silenceEvery->value() - 0.1); };
    connect(silenceEvery, &QDoubleSpinBox::valueChanged, this, limitSilence);
    limitSilence();
    line(silence, silenceSeconds, silenceEvery);
    noEtx = checkBox(faults, "FLT_NoEtx", QStringLiteral("Aviation: no ETX"));
    line(noEtx);
    field = checkBox(faults, "FLT_Field", QStringLiteral("Aviation: corrupt field"));
    fieldLetter = new QComboBox(faults);
    fieldLetter->setObjectName(QStringLiteral("FLT_FieldLetter"));
    for (const char* letter : {"A", "B", "C", "D", "E", "G", "I"})
        fieldLetter->addItem(QString::fromLatin1(letter));
    fieldLetter->setCurrentText(QStringLiteral("G"));
    line(field, fieldLetter);
    grid->setColumnStretch(3, 1);

    liveTime = checkBox(this, "OPT_LiveTime",
                        QStringLiteral("Live time: on the UTC second, times and dates from the "
                                       "clock"));

    auto* added = new QGroupBox(QStringLiteral("Sentences after $GPRMB and $GPRMC"), this);
    auto* addedGrid = new QGridLayout(added);
    for (int i = 0; i < SentenceCount; ++i) {
        const char* name = SentenceName(static_cast<Sentence>(i));
        sentence[i] = new QCheckBox(QString::fromLatin1(name), added);
        sentence[i]->setObjectName(QStringLiteral("OPT_") + QString::fromLatin1(name));
        addedGrid->addWidget(sentence[i], i / 5, i % 5);
        connect(sentence[i], &QCheckBox::toggled, this, &OutputOptionsDialog::applySentences);
    }

    auto* fix = new QGroupBox(QStringLiteral("Position (degrees, north and east positive)"), this);
    auto* fixRow = new QHBoxLayout(fix);
    const auto degrees = [fix](const char* name, double limit, double value) {
        auto* spin = new QDoubleSpinBox(fix);
        spin->setObjectName(name);
        spin->setDecimals(6);
        spin->setRange(-limit, limit);
        spin->setValue(value);
        return spin;
    };
    const FixPosition start;
    latitude = degrees("OPT_Latitude", 90.0, start.latitude);
    longitude = degrees("OPT_Longitude", 180.0, start.longitude);
    auto* setPosition = new QPushButton(QStringLiteral("Set"), fix);
    setPosition->setObjectName(QStringLiteral("OPT_SetPosition"));
    connect(setPosition, &QPushButton::clicked, this, &OutputOptionsDialog::applyPosition);
    moving = checkBox(fix, "OPT_Moving", QStringLiteral("Moving by track and speed"));
    connect(moving, &QCheckBox::toggled, this, [this](bool on) {
        emulator.simulator().setMoving(on);
        if (notify)
            notify();
    });
    fixRow->addWidget(latitude);
    fixRow->addWidget(longitude);
    fixRow->addWidget(setPosition);
    fixRow->addWidget(moving);

    // The File page's replay, beside its own controls: which lines, and at what pace.
    auto* replay = new QGroupBox(QStringLiteral("File page replay (NMEA)"), this);
    auto* replayRow = new QHBoxLayout(replay);
    allSentences = checkBox(replay, "OPT_AllSentences", QStringLiteral("Every sentence"));
    pace = new QComboBox(replay);
    pace->setObjectName(QStringLiteral("OPT_Pace"));
    // In the order of ReplayPace.
    pace->addItems({QStringLiteral("Paced by the ticks"),
                    QStringLiteral("Paced by the file's times"),
                    QStringLiteral("As fast as the line takes")});
    replayRow->addWidget(allSentences);
    replayRow->addWidget(pace);
    connect(allSentences, &QCheckBox::toggled, this,
            [this](bool on) { emulator.replay().setAllSentences(on); });
    connect(pace, &QComboBox::currentIndexChanged, this,
            [this](int index) { emulator.replay().setPace(static_cast<ReplayPace>(index)); });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* allOff =
        buttons->addButton(QStringLiteral("All faults off"), QDialogButtonBox::ResetRole);
    allOff->setObjectName(QStringLiteral("FLT_AllOff"));
    connect(allOff, &QPushButton::clicked, this, &OutputOptionsDialog::allFaultsOff);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(faults);
    layout->addWidget(liveTime);
    layout->addWidget(added);
    layout->addWidget(fix);
    layout->addWidget(replay);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    for (QCheckBox* box : faults->findChildren<QCheckBox*>())
        connect(box, &QCheckBox::toggled, this, &OutputOptionsDialog::apply);
    connect(liveTime, &QCheckBox::toggled, this, &OutputOptionsDialog::apply);
    for (QSpinBox* spin : findChildren<QSpinBox*>())
        connect(spin, &QSpinBox::valueChanged, this, &OutputOptionsDialog::apply);
    for (QDoubleSpinBox* spin : {silenceSeconds, silenceEvery})
        connect(spin, &QDoubleSpinBox::valueChanged, this, &OutputOptionsDialog::apply);
    connect(fieldLetter, &QComboBox::currentTextChanged, this, &OutputOptionsDialog::apply);
}

OutputOptionsDialog::~OutputOptionsDialog() = default;

FaultSettings OutputOptionsDialog::chosen() const {
    FaultSettings s;
    const auto count = [](const QCheckBox* on, const QSpinBox* value) {
        return on->isChecked() ? static_cast<std::uint32_t>(value->value()) : 0u;
    };
    s.checksumEvery = count(checksum, checksumEvery);
    s.dropEvery = count(drop, dropEvery);
    s.invalid = invalid->isChecked();
    s.garbageEvery = count(garbage, garbageEvery);
    s.repeat = count(repeat, repeatCount);
    s.cutAfter = count(cut, cutAfter);
    if (silence->isChecked()) {
        s.silenceEvery = silenceEvery->value();
        s.silenceSeconds = silenceSeconds->value();
    }
    s.noEtx = noEtx->isChecked();
    s.corruptField = field->isChecked() ? fieldLetter->currentText().toLatin1().at(0) : '\0';
    s.liveTime = liveTime->isChecked();
    return s;
}

void OutputOptionsDialog::allFaultsOff() {
    for (QCheckBox* box : faultGroup->findChildren<QCheckBox*>())
        box->setChecked(false);
}

void OutputOptionsDialog::applySentences() {
    SentenceSet set = 0;
    for (int i = 0; i < SentenceCount; ++i)
        if (sentence[i]->isChecked())
            set |= SentenceBit(static_cast<Sentence>(i));
    emulator.simulator().setSentences(set);
    if (notify)
        notify();
}

void OutputOptionsDialog::applyPosition() {
    emulator.simulator().setPosition(latitude->value(), longitude->value());
    if (notify)
        notify();
}

void OutputOptionsDialog::apply() {
    emulator.setFaults(chosen());
    if (notify)
        notify();
}
