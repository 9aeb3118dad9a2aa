#pragma once

#include <QObject>
#include <QTimer>

// A timer control: ticks every Interval milliseconds while Interval is above 0.
class Timer : public QObject {
    Q_OBJECT

public:
    Timer(int interval, QObject* parent);

    int Interval() const { return interval_; }
    // 0 stops the ticks; a positive value (re)starts them with that period.
    void setInterval(int milliseconds);

signals:
    void Tick();

private:
    QTimer timer_;
    int interval_ = 0;
};
