#include "export/fritzbox.h"

#include "card/cardfields.h"
#include "contacts/contacttable.h"
#include "export/addressbookcsv.h"
#include "export/contactexport.h"
#include "platform/displaytext.h"
#include "platform/germantext.h"

#include <QBuffer>
#include <QXmlStreamWriter>

namespace tovanel {

namespace {

// The phone book a FRITZ!Box's web interface imports ("Telefonie" > "Telefonbuch" > "Wiederherstellen")
// and writes when it saves one: a <phonebooks> root with one <phonebook name="…">, each entry a <contact>
// with its <category> (1: a VIP), <person><realName>, <telephony nid="numbers"> of <number type prio id>,
// <services nid="addresses"> of <email classifier id>, <setup/> and a <uniqueid>; the number types are
// home, mobile, work, fax_work and other. So carddav2fb writes it for the box (carlos22/carddav2fb,
// src/FritzBox/Converter.php, with a box's own export quoted in its comments), and so programs hand single
// entries to the box's TR-064 service X_AVM-DE_OnTel (SetPhonebookEntry).
class FritzBoxPhoneBook final : public ContactRecords {
public:
    FritzBoxPhoneBook(QString title, NameOrder order) : m_title(std::move(title)), m_order(order) {
        m_buffer.open(QIODevice::WriteOnly);
        m_xml.setAutoFormatting(true);
    }

    QByteArray head() override {
        m_xml.writeStartDocument();
        m_xml.writeStartElement(QStringLiteral("phonebooks"));
        m_xml.writeStartElement(QStringLiteral("phonebook"));
        m_xml.writeAttribute(QStringLiteral("name"), text(m_title));
        return taken();
    }

    void append(QByteArray& out, const ContactTable& table, qsizetype contact) override {
        const CardFields fields = m_reader.fields(table, contact);
        if (fields.telephones.isEmpty()) {
            ++m_withoutNumber;
            return;
        }
        m_xml.writeStartElement(QStringLiteral("contact"));
        m_xml.writeTextElement(QStringLiteral("category"), QStringLiteral("0"));
        m_xml.writeStartElement(QStringLiteral("person"));
        m_xml.writeTextElement(QStringLiteral("realName"), text(shownName(table, contact, m_order)));
        m_xml.writeEndElement();
        m_xml.writeStartElement(QStringLiteral("telephony"));
        m_xml.writeAttribute(QStringLiteral("nid"), QString::number(fields.telephones.size()));
        // The box dials its favourite, and shows it first, by prio="1": one number at most.
        bool favourite = false;
        for (qsizetype i = 0; i < fields.telephones.size(); ++i) {
            const CardTelephone& number = fields.telephones[i];
            const bool prio = number.preferred && !favourite;
            favourite |= prio;
            m_xml.writeStartElement(QStringLiteral("number"));
            m_xml.writeAttribute(QStringLiteral("type"), numberType(number));
            m_xml.writeAttribute(QStringLiteral("prio"), prio ? QStringLiteral("1") : QStringLiteral("0"));
            m_xml.writeAttribute(QStringLiteral("id"), QString::number(i));
            m_xml.writeCharacters(text(number.shown));
            m_xml.writeEndElement();
        }
        m_xml.writeEndElement();
        m_xml.writeStartElement(QStringLiteral("services"));
        m_xml.writeAttribute(QStringLiteral("nid"), QString::number(fields.emails.size()));
        for (qsizetype i = 0; i < fields.emails.size(); ++i) {
            m_xml.writeStartElement(QStringLiteral("email"));
            m_xml.writeAttribute(QStringLiteral("classifier"),
                                 fields.emails[i].work ? QStringLiteral("work") : QStringLiteral("private"));
            m_xml.writeAttribute(QStringLiteral("id"), QString::number(i));
            m_xml.writeCharacters(text(fields.emails[i].address));
            m_xml.writeEndElement();
        }
        m_xml.writeEndElement();
        m_xml.writeEmptyElement(QStringLiteral("setup"));
        m_xml.writeTextElement(QStringLiteral("uniqueid"), QString::number(m_written++));
        m_xml.writeEndElement();
        out += taken();
    }

    QByteArray tail() override {
        m_xml.writeEndDocument();
        return taken();
    }

    QString notice(const QString& path) const override {
        QStringList notices;
        if (m_withoutNumber == 1) {
            notices << QStringLiteral("1 Kontakt ohne Telefonnummer wurde ausgelassen.");
        } else if (m_withoutNumber > 1) {
            notices << QStringLiteral("%1 Kontakte ohne Telefonnummer wurden ausgelassen.")
                           .arg(germanNumber(m_withoutNumber));
        }
        notices << unreadCardsNotice(path, m_reader.unread());
        notices.removeAll(QString());
        return notices.join(u'\n');
    }

private:
    static QString numberType(const CardTelephone& number) {
        if (number.fax) {
            return QStringLiteral("fax_work");
        }
        if (number.mobile) {
            return QStringLiteral("mobile");
        }
        if (number.work) {
            return QStringLiteral("work");
        }
        if (number.home) {
            return QStringLiteral("home");
        }
        return QStringLiteral("other");
    }

    // XML holds no control characters but tab and line breaks, as a spreadsheet's cell holds none.
    QString text(QStringView value) { return spreadsheetText(value, m_scratch).toString(); }

    // What the writer wrote since the last call.
    QByteArray taken() {
        QByteArray bytes = m_buffer.data();
        m_buffer.buffer().clear();
        m_buffer.seek(0);
        return bytes;
    }

    QString m_title;
    NameOrder m_order;
    QBuffer m_buffer;
    QXmlStreamWriter m_xml{&m_buffer};
    QString m_scratch;
    ContactFieldsReader m_reader;
    qint64 m_withoutNumber = 0;
    qint64 m_written = 0;
};

} // namespace

std::unique_ptr<ContactRecords> fritzBoxRecords(const QString& title, NameOrder order) {
    return std::make_unique<FritzBoxPhoneBook>(title, order);
}

} // namespace tovanel
