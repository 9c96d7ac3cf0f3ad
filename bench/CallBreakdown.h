#pragma once

// Where the time of a build goes: every call of the spreadsheet object model
// the template command makes is timed and put into its group (take the
// office, open, fill, save, close and quit; for the second instance take,
// second open, picture, close and quit), and the time between two calls,
// the program's own work, goes to "program, before <next group>". The
// instances are wrapped as the offices hand them out (TimingOffices).

#include "Offices.h"
#include "Spreadsheet.h"

#include <QElapsedTimer>
#include <QString>

#include <map>
#include <memory>
#include <type_traits>
#include <vector>

namespace quorbel::bench {

class CallClock {
public:
    CallClock() { m_epoch.start(); }

    // Starts counting: the time until the first call is the program's.
    void restart() { m_lastEnd = now(); }

    // Time since the last call, as the program's own work before `group`.
    void gapBefore(const QString &group)
    {
        const double start = now();
        add(QStringLiteral("program, before ") + group, start - m_lastEnd);
        m_lastEnd = start;
    }

    template<typename Work>
    auto timed(const QString &group, Work &&work)
    {
        gapBefore(group);
        struct End {
            CallClock &clock;
            QString group;
            ~End()
            {
                const double end = clock.now();
                clock.add(group, end - clock.m_lastEnd);
                clock.m_lastEnd = end;
            }
        } end {*this, group};
        return work();
    }

    // The program's work after the last call, up to now.
    void tail(const QString &label)
    {
        const double end = now();
        add(label, end - m_lastEnd);
        m_lastEnd = end;
    }

    // Takes `ms` of `from` and gives it to `to` (work found to lie inside
    // another group's time).
    void move(const QString &from, const QString &to, double ms)
    {
        if (ms <= 0 || !m_groups.count(from))
            return;
        m_groups[from] -= ms;
        add(to, ms);
    }

    void add(const QString &group, double ms)
    {
        if (ms <= 0)
            return;
        if (!m_groups.count(group))
            m_order.push_back(group);
        m_groups[group] += ms;
    }

    const std::vector<QString> &order() const { return m_order; }
    double get(const QString &group) const
    {
        const auto found = m_groups.find(group);
        return found == m_groups.end() ? 0.0 : found->second;
    }
    void clear()
    {
        m_groups.clear();
        m_order.clear();
    }

private:
    double now() const { return double(m_epoch.nsecsElapsed()) / 1e6; }

    QElapsedTimer m_epoch;
    double m_lastEnd = 0;
    std::map<QString, double> m_groups;
    std::vector<QString> m_order;
};

// Which group a call of one instance belongs to: the first half opens,
// fills, saves, closes and quits; the second opens, pictures, closes and
// quits, in a second instance or (an office kept ahead) in the same one.
struct InstancePhase {
    CallClock &clock;
    bool second = false;
    enum Phase { Start, Open, Fill, Save, Picture, Close } phase = Start;

    QString group(const char *call)
    {
        const QString name = QLatin1String(call);
        // An office kept ahead does both halves: an Open after its workbook
        // closed starts the other half (the picture's, or the next build's
        // fill).
        if (name == QLatin1String("Open") && phase == Close)
            second = !second;
        if (name == QLatin1String("Open"))
            phase = Open;
        else if (name == QLatin1String("SaveAs") || name == QLatin1String("Version"))
            phase = Save;
        else if (name == QLatin1String("Close") || name == QLatin1String("Quit"))
            phase = Close;
        else if (phase == Open)
            phase = second ? Picture : Fill;
        switch (phase) {
        case Start:
        case Open: return second ? QStringLiteral("2nd half: open saved workbook") : QStringLiteral("1st half: open template");
        case Fill: return QStringLiteral("1st half: fill");
        case Save: return QStringLiteral("1st half: save .xls");
        case Picture: return QStringLiteral("2nd half: picture");
        case Close: return second ? QStringLiteral("2nd half: close and quit") : QStringLiteral("1st half: close and quit");
        }
        return {};
    }

    template<typename Work>
    auto operator()(const char *call, Work &&work)
    {
        return clock.timed(group(call), std::forward<Work>(work));
    }
};

using Phase = std::shared_ptr<InstancePhase>;

class TimedRange final : public xl::XlRange {
public:
    TimedRange(std::shared_ptr<xl::XlRange> inner, Phase phase) : m_inner(std::move(inner)), m_phase(std::move(phase)) {}
    static std::shared_ptr<xl::XlRange> wrap(std::shared_ptr<xl::XlRange> inner, const Phase &phase)
    {
        return inner ? std::make_shared<TimedRange>(std::move(inner), phase) : nullptr;
    }
    void Select() override { (*m_phase)("Select", [&] { m_inner->Select(); }); }
    void setValue(const xl::CellValue &value) override { (*m_phase)("setValue", [&] { m_inner->setValue(value); }); }
    xl::CellValue Value() override { return (*m_phase)("Value", [&] { return m_inner->Value(); }); }
    std::shared_ptr<xl::XlRange> Rows() override { return wrap((*m_phase)("Rows", [&] { return m_inner->Rows(); }), m_phase); }
    std::shared_ptr<xl::XlRange> Columns() override { return wrap((*m_phase)("Columns", [&] { return m_inner->Columns(); }), m_phase); }
    int count() override { return (*m_phase)("count", [&] { return m_inner->count(); }); }
    std::shared_ptr<xl::XlRange> Item(int index) override { return wrap((*m_phase)("Item", [&] { return m_inner->Item(index); }), m_phase); }
    int Row() override { return (*m_phase)("Row", [&] { return m_inner->Row(); }); }
    int Column() override { return (*m_phase)("Column", [&] { return m_inner->Column(); }); }
    void Copy() override { (*m_phase)("Copy", [&] { m_inner->Copy(); }); }
    void Insert(int shift) override { (*m_phase)("Insert", [&] { m_inner->Insert(shift); }); }
    QByteArray Picture() override { return (*m_phase)("Picture", [&] { return m_inner->Picture(); }); }

private:
    std::shared_ptr<xl::XlRange> m_inner;
    Phase m_phase;
};

class TimedWorksheet final : public xl::XlWorksheet {
public:
    TimedWorksheet(std::shared_ptr<xl::XlWorksheet> inner, Phase phase) : m_inner(std::move(inner)), m_phase(std::move(phase)) {}
    static std::shared_ptr<xl::XlWorksheet> wrap(std::shared_ptr<xl::XlWorksheet> inner, const Phase &phase)
    {
        return inner ? std::make_shared<TimedWorksheet>(std::move(inner), phase) : nullptr;
    }
    QString Name() override { return (*m_phase)("Name", [&] { return m_inner->Name(); }); }
    void Select() override { (*m_phase)("Select", [&] { m_inner->Select(); }); }
    void Activate() override { (*m_phase)("Activate", [&] { m_inner->Activate(); }); }
    std::shared_ptr<xl::XlRange> UsedRange() override
    {
        return TimedRange::wrap((*m_phase)("UsedRange", [&] { return m_inner->UsedRange(); }), m_phase);
    }
    std::shared_ptr<xl::XlPageSetup> PageSetup() override
    {
        return (*m_phase)("PageSetup", [&] { return m_inner->PageSetup(); });
    }

private:
    std::shared_ptr<xl::XlWorksheet> m_inner;
    Phase m_phase;
};

class TimedWorksheets final : public xl::XlWorksheets {
public:
    TimedWorksheets(std::shared_ptr<xl::XlWorksheets> inner, Phase phase) : m_inner(std::move(inner)), m_phase(std::move(phase)) {}
    int count() override { return (*m_phase)("count", [&] { return m_inner->count(); }); }
    std::shared_ptr<xl::XlWorksheet> Item(int index) override
    {
        return TimedWorksheet::wrap((*m_phase)("Item", [&] { return m_inner->Item(index); }), m_phase);
    }

private:
    std::shared_ptr<xl::XlWorksheets> m_inner;
    Phase m_phase;
};

class TimedWorkbook final : public xl::XlWorkbook {
public:
    TimedWorkbook(std::shared_ptr<xl::XlWorkbook> inner, Phase phase) : m_inner(std::move(inner)), m_phase(std::move(phase)) {}
    static std::shared_ptr<xl::XlWorkbook> wrap(std::shared_ptr<xl::XlWorkbook> inner, const Phase &phase)
    {
        return inner ? std::make_shared<TimedWorkbook>(std::move(inner), phase) : nullptr;
    }
    std::shared_ptr<xl::XlWorksheets> Worksheets() override
    {
        auto inner = (*m_phase)("Worksheets", [&] { return m_inner->Worksheets(); });
        return inner ? std::make_shared<TimedWorksheets>(std::move(inner), m_phase) : nullptr;
    }
    std::shared_ptr<xl::XlWorksheet> ActiveSheet() override
    {
        return TimedWorksheet::wrap((*m_phase)("ActiveSheet", [&] { return m_inner->ActiveSheet(); }), m_phase);
    }
    void SaveAs(const QString &fileName, int format) override { (*m_phase)("SaveAs", [&] { m_inner->SaveAs(fileName, format); }); }
    void ExportAsFixedFormat(int type, const QString &fileName) override
    {
        (*m_phase)("ExportAsFixedFormat", [&] { m_inner->ExportAsFixedFormat(type, fileName); });
    }
    void Close() override { (*m_phase)("Close", [&] { m_inner->Close(); }); }

private:
    std::shared_ptr<xl::XlWorkbook> m_inner;
    Phase m_phase;
};

class TimedWorkbooks final : public xl::XlWorkbooks {
public:
    TimedWorkbooks(std::shared_ptr<xl::XlWorkbooks> inner, Phase phase) : m_inner(std::move(inner)), m_phase(std::move(phase)) {}
    std::shared_ptr<xl::XlWorkbook> Open(const QString &fileName, bool readOnly) override
    {
        return TimedWorkbook::wrap((*m_phase)("Open", [&] { return m_inner->Open(fileName, readOnly); }), m_phase);
    }
    int count() override { return (*m_phase)("count", [&] { return m_inner->count(); }); }
    std::shared_ptr<xl::XlWorkbook> Item(int index) override
    {
        return TimedWorkbook::wrap((*m_phase)("Item", [&] { return m_inner->Item(index); }), m_phase);
    }

private:
    std::shared_ptr<xl::XlWorkbooks> m_inner;
    Phase m_phase;
};

class TimedApplication final : public xl::XlApplication {
public:
    TimedApplication(std::unique_ptr<xl::XlApplication> inner, Phase phase) : m_inner(std::move(inner)), m_phase(std::move(phase)) {}
    std::shared_ptr<xl::XlWorkbooks> Workbooks() override
    {
        auto inner = (*m_phase)("Workbooks", [&] { return m_inner->Workbooks(); });
        return inner ? std::make_shared<TimedWorkbooks>(std::move(inner), m_phase) : nullptr;
    }
    std::shared_ptr<xl::XlWorkbook> ActiveWorkbook() override
    {
        return TimedWorkbook::wrap((*m_phase)("ActiveWorkbook", [&] { return m_inner->ActiveWorkbook(); }), m_phase);
    }
    std::shared_ptr<xl::XlRange> Cells(int row, int column) override
    {
        return TimedRange::wrap((*m_phase)("Cells", [&] { return m_inner->Cells(row, column); }), m_phase);
    }
    std::shared_ptr<xl::XlRange> Rows(int row) override
    {
        return TimedRange::wrap((*m_phase)("Rows", [&] { return m_inner->Rows(row); }), m_phase);
    }
    std::shared_ptr<xl::XlRange> Selection() override
    {
        return TimedRange::wrap((*m_phase)("Selection", [&] { return m_inner->Selection(); }), m_phase);
    }
    void setDisplayAlerts(bool on) override { (*m_phase)("setDisplayAlerts", [&] { m_inner->setDisplayAlerts(on); }); }
    void setVisible(bool on) override { (*m_phase)("setVisible", [&] { m_inner->setVisible(on); }); }
    void setCutCopyMode(bool on) override { (*m_phase)("setCutCopyMode", [&] { m_inner->setCutCopyMode(on); }); }
    QString Version() override { return (*m_phase)("Version", [&] { return m_inner->Version(); }); }
    void Quit() override { (*m_phase)("Quit", [&] { m_inner->Quit(); }); }
    void setCancellation(const CancellationToken *cancel) override { m_inner->setCancellation(cancel); }

private:
    std::unique_ptr<xl::XlApplication> m_inner;
    Phase m_phase;
};

// Offices whose instances are timed while a clock is set: each taken
// (from the offices kept ahead of need or, when there is none, started the
// ordinary way) under its build's "take" group, and wrapped so that its
// calls are timed.
class TimingOffices final : public Offices {
public:
    using Offices::Offices;

    // Times from now on (nullptr: no more).
    void setClock(CallClock *clock) { m_clock = clock; }
    // The next instance taken is a build's first.
    void newBuild() { m_taken = 0; }

    std::unique_ptr<xl::XlApplication> createApplication() override
    {
        if (!m_clock)
            return Offices::createApplication();
        const bool second = m_taken++ % 2 == 1;
        const QString group = second ? QStringLiteral("2nd half: take") : QStringLiteral("1st half: take");
        std::unique_ptr<xl::XlApplication> application =
            m_clock->timed(group, [&] { return Offices::createApplication(); });
        auto phase = std::make_shared<InstancePhase>(InstancePhase {*m_clock, second});
        return std::make_unique<TimedApplication>(std::move(application), phase);
    }

private:
    CallClock *m_clock = nullptr;
    int m_taken = 0;
};

} // namespace quorbel::bench
