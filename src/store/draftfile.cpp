#include "store/draftfile.h"

#include "store/database.h"

#include <QFile>

DraftFile::~DraftFile()
{
    if (!m_moved) {
        QFile::remove(m_path);
        QFile::remove(m_path + QStringLiteral("-journal"));
    }
}

void DraftFile::moveTo(const QString& target)
{
    moveIntoPlace(m_path, target);
    m_moved = true;
}
