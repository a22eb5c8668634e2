#pragma once
#include <QDialog>
#include <functional>

#include "engine/FaultFilter.h"

class Emulator;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QSpinBox;

// Edit → Output Options: deliberate faults, live time, the added sentences and the fix's
// position, applied to the next record as soon as a control changes. Modeless; nothing here
// is stored, so everything is off at start.
class OutputOptionsDialog : public QDialog {
    Q_OBJECT
public:
    OutputOptionsDialog(Emulator& emulator, QWidget* parent = nullptr);
    ~OutputOptionsDialog() override;

    // Called after each change, so the status bar can say so at once.
    void onChange(std::function<void()> changed) { notify = std::move(changed); }
    // What the controls ask for.
    FaultSettings chosen() const;

public slots:
    void allFaultsOff();

private:
    void apply();
    void applySentences();
    void applyPosition();

    Emulator& emulator;
    std::function<void()> notify;
    QCheckBox* checksum;
    QSpinBox* checksumEvery;
    QCheckBox* drop;
    QSpinBox* dropEvery;
    QCheckBox* invalid;
    QCheckBox* garbage;
    QSpinBox* garbageEvery;
    QCheckBox* repeat;
    QSpinBox* repeatCount;
    QCheckBox* cut;
    QSpinBox* cutAfter;
    QCheckBox* silence;
    QDoubleSpinBox* silenceSeconds;
    QDoubleSpinBox* silenceEvery;
    QCheckBox* noEtx;
    QCheckBox* field;
    QComboBox* fieldLetter;
    QCheckBox* liveTime;
    QGroupBox* faultGroup;
    QCheckBox* sentence[SentenceCount];
    QDoubleSpinBox* latitude;
    QDoubleSpinBox* longitude;
    QCheckBox* moving;
    QCheckBox* allSentences;
    QComboBox* pace;
};
