#pragma once

#include <QByteArrayView>
#include <array>

// The lexer of one unfolded vCard property line, such as "item1.TEL;TYPE=CELL,PREF:+49 89 1234": its name
// without the group prefix, where its key ends, what its parameters say and the components of its value.
// Every part is a view into the line; nothing is copied or decoded.
namespace PropertyLexer {

inline bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// Where the key of a property line ends: the first ":" that is not inside double quotes, or -1.
// `unquoted` is set when the key certainly holds no double quote.
qsizetype keyEnd(QByteArrayView line, bool* unquoted = nullptr);

// The property name of a line without its group prefix ("item1.TEL" -> "TEL"). `end` is set to where
// the name ends (the first ";" or ":", else the line's size), `quote` to whether a '"' comes before.
QByteArrayView propertyName(QByteArrayView line, qsizetype& end, bool& quote);

// keyEnd(line, unquoted) for a line whose name, found by propertyName, ends at `nameEnd`: the bytes
// before it are not searched again.
qsizetype keyEndAfterName(QByteArrayView line, qsizetype nameEnd, bool quoteInName, bool* unquoted);

// Whether the key (up to `end`, which is keyEnd(line)) declares QUOTED-PRINTABLE, in any of its forms.
bool declaresQuotedPrintable(QByteArrayView line, qsizetype end);

// What the parameters of one property line say, in the vCard 2.1 form ("HOME;CELL;QUOTED-PRINTABLE")
// and the later one ("TYPE=home,cell;ENCODING=b"), quoted or not.
struct Parameters {
    bool quotedPrintable = false;
    bool base64 = false;
    bool encodingGiven = false; // any ENCODING, also 8BIT: the value is not quoted-printable by guess
    bool pref = false;
    bool cell = false;
    bool home = false;
    bool work = false;
    bool faxOrPager = false;
    QByteArrayView charset;

    // Adds one parameter, the bytes between two ";" of the key.
    void add(QByteArrayView parameter);

private:
    void addType(QByteArrayView type);
    void addTypes(QByteArrayView value);
    void addEncoding(QByteArrayView encoding);
};

// A property line cut into its parameters and its value.
struct PropertyLine {
    Parameters parameters;
    QByteArrayView value;

    // `knownEnd` and `unquoted` may carry what keyEnd already found for the line's first part.
    explicit PropertyLine(QByteArrayView line, qsizetype knownEnd = -1, bool unquoted = false);
};

// The first `wanted` (at most 7) ";"-separated components of a value; a ";" after a backslash belongs
// to the text. Components past the last one present are empty.
struct Components {
    std::array<QByteArrayView, 7> parts{};
    qsizetype count = 0;

    Components(QByteArrayView value, qsizetype wanted);
    QByteArrayView operator[](qsizetype index) const {
        return index < count ? parts[size_t(index)] : QByteArrayView();
    }
};

QByteArrayView firstComponent(QByteArrayView value);

} // namespace PropertyLexer
