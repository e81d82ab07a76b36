#pragma once

// What the office's own UNO files share: the UNO types, the conversions between
// Qt's and UNO's strings, and the error texts. Not for use outside office/.

#include "office/spreadsheet.h"

#include <QFileInfo>
#include <QString>
#include <QUrl>
#include <initializer_list>

#include <com/sun/star/awt/FontWeight.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XMultiPropertySet.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/lang/XMultiComponentFactory.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <com/sun/star/util/Date.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XNumberFormats.hpp>
#include <com/sun/star/util/XNumberFormatsSupplier.hpp>
#include <com/sun/star/view/XPrintable.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <rtl/bootstrap.hxx>
#include <rtl/ustring.hxx>

namespace css = ::com::sun::star;
using css::uno::Any;
using css::uno::Reference;
using css::uno::Sequence;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
using rtl::OUString;

namespace unosupport {

inline const QString OfficeErrorText = QStringLiteral("ცხრილების პროგრამის შეცდომა");
inline const QString TemplateFailedText = QStringLiteral("შაბლონი ვერ გაიხსნა: %1");

inline const QString OfficeProgram = QStringLiteral(KELVORA_OFFICE_PROGRAM);

inline OUString ou(const QString& text)
{
    return OUString(reinterpret_cast<const sal_Unicode*>(text.utf16()), sal_Int32(text.size()));
}

inline QString qs(const OUString& text)
{
    return QString(reinterpret_cast<const QChar*>(text.getStr()), text.getLength());
}

inline OUString fileUrl(const QString& path)
{
    return ou(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded));
}

inline css::beans::PropertyValue property(const char* name, const Any& value)
{
    css::beans::PropertyValue p;
    p.Name = OUString::createFromAscii(name);
    p.Value = value;
    return p;
}

// Sequence has no initializer-list constructor of its own.
template <typename T> Sequence<T> sequence(std::initializer_list<T> items)
{
    return Sequence<T>(items.begin(), sal_Int32(items.size()));
}

[[noreturn]] inline void rethrowOffice(const css::uno::Exception& e)
{
    const QString text = qs(e.Message).trimmed();
    throw SpreadsheetError(text.isEmpty() ? OfficeErrorText : text);
}

}  // namespace unosupport
