#pragma once

// A throwaway round of the template command's work in an office kept ahead
// of need, so that the command's first calls run in an office that has done
// them once: the first load of a workbook, the first cell writes, the first
// store as 97-2003, the first PDF export and the first drawing of a PDF
// page each cost an office (and the program) several times what they cost
// the second time.
//
// The round runs in small steps, one bounded call each, from the event
// loop; its files live in a folder of the instance's own and are deleted
// when it ends. The instance is left with no workbook open.

#include "CalcObjects.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <memory>

namespace quorbel::lo {

class WarmUp {
public:
    // `templateBytes`: the workbook the command fills.
    WarmUp(CalcApplication &application, QByteArray templateBytes);
    // Ends the round if it has not ended (see finish()).
    ~WarmUp();
    WarmUp(const WarmUp &) = delete;
    WarmUp &operator=(const WarmUp &) = delete;

    // Does the next step; true once the round is over. Throws Failure: the
    // office failed or did not answer within warmCallLimit().
    bool step();
    bool done() const { return m_next == Done; }

    // Ends the round where it is: every workbook it opened is closed and
    // its folder deleted. Throws Failure when the office cannot close them.
    void finish();

    // The limit of each call of the round: an office that takes longer is
    // taken to be hung (and the one user-interface thread waits no longer).
    // Never more than `office`'s ordinary limit.
    static std::chrono::milliseconds warmCallLimit(const OfficeConnection &office);

private:
    enum Step { Open, Fill, Save, CloseFirst, Reopen, Export, Draw, CloseSecond, Done };

    void closeAll();

    CalcApplication &m_application;
    QByteArray m_templateBytes;
    QString m_folder;
    QByteArray m_pdf;
    std::shared_ptr<xl::XlWorkbook> m_workbook;
    Step m_next = Open;
};

} // namespace quorbel::lo
