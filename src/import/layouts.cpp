#include "import/layouts.h"

#include "import/fields.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <vector>

namespace {

struct RoleNames
{
    ColumnRole role;
    QList<QStringView> names; // in order of preference
};

struct KnownLayout
{
    const char16_t* name;
    const char16_t* source;
    CardKind card;
    QList<QStringView> required;
    std::vector<RoleNames> roles;
};

// Header names are given normalized. Each layout is known by its required names.
const std::vector<KnownLayout>& knownLayouts()
{
    using R = ColumnRole;
    static const std::vector<KnownLayout> layouts = {
        {u"支付宝",
         u"支付宝",
         CardKind::Account,
         {u"交易时间", u"交易分类", u"交易对方", u"对方账号", u"商品说明", u"收/支", u"金额",
          u"收/付款方式", u"交易状态"},
         {{R::Date, {u"交易时间"}},
          {R::Category, {u"交易分类"}},
          {R::Counterpart, {u"交易对方"}},
          {R::Description, {u"商品说明"}},
          {R::Direction, {u"收/支"}},
          {R::Amount, {u"金额"}},
          {R::State, {u"交易状态"}},
          {R::TransactionNo, {u"交易订单号"}}}},
        {u"支付宝（旧版）",
         u"支付宝",
         CardKind::Account,
         {u"交易号", u"交易创建时间", u"金额(元)", u"收/支", u"交易状态"},
         {{R::Date, {u"交易创建时间", u"付款时间"}},
          {R::Type, {u"类型"}},
          {R::Counterpart, {u"交易对方"}},
          {R::Description, {u"商品名称"}},
          {R::Amount, {u"金额(元)"}},
          {R::Direction, {u"收/支"}},
          {R::State, {u"交易状态"}},
          {R::Refund, {u"成功退款(元)"}},
          {R::TransactionNo, {u"交易号"}}}},
        {u"微信支付",
         u"微信支付",
         CardKind::Account,
         {u"交易时间", u"交易类型", u"交易对方", u"商品", u"收/支", u"金额(元)", u"支付方式",
          u"当前状态", u"交易单号"},
         {{R::Date, {u"交易时间"}},
          {R::Type, {u"交易类型"}},
          {R::Counterpart, {u"交易对方"}},
          {R::Description, {u"商品"}},
          {R::Direction, {u"收/支"}},
          {R::Amount, {u"金额(元)"}},
          {R::State, {u"当前状态"}},
          {R::TransactionNo, {u"交易单号"}}}},
        {u"京东",
         u"京东",
         CardKind::Account,
         {u"交易时间", u"商户名称", u"交易说明", u"金额", u"收/付款方式", u"交易状态", u"收/支"},
         {{R::Date, {u"交易时间"}},
          {R::Counterpart, {u"商户名称"}},
          {R::Description, {u"交易说明"}},
          {R::Amount, {u"金额"}},
          {R::State, {u"交易状态"}},
          {R::Direction, {u"收/支"}},
          {R::Category, {u"交易分类"}},
          {R::TransactionNo, {u"交易订单号"}}}},
        {u"美团",
         u"美团",
         CardKind::Account,
         {u"交易创建时间", u"交易类型", u"订单标题", u"收/支", u"实付金额"},
         {{R::Date, {u"交易创建时间", u"交易成功时间"}},
          {R::Type, {u"交易类型"}},
          {R::Description, {u"订单标题"}},
          {R::Direction, {u"收/支"}},
          {R::Amount, {u"实付金额"}},
          {R::TransactionNo, {u"交易单号"}}}},
        {u"招商银行",
         u"招商银行",
         CardKind::Account,
         {u"交易日期", u"交易时间", u"收入", u"支出", u"余额", u"交易类型", u"交易备注"},
         {{R::Date, {u"交易日期"}},
          {R::Time, {u"交易时间"}},
          {R::Income, {u"收入"}},
          {R::Expense, {u"支出"}},
          {R::Type, {u"交易类型"}},
          {R::Description, {u"交易备注"}}}},
        {u"招商银行",
         u"招商银行",
         CardKind::Account,
         {u"记账日期", u"交易金额", u"联机余额", u"交易摘要", u"对手信息"},
         {{R::Date, {u"记账日期"}},
          {R::Amount, {u"交易金额"}},
          {R::Type, {u"交易摘要"}},
          {R::Counterpart, {u"对手信息"}}}},
        {u"招商银行信用卡",
         u"招商银行信用卡",
         CardKind::Card,
         {u"交易日", u"记账日", u"交易摘要", u"人民币金额"},
         {{R::Date, {u"交易日"}}, {R::Amount, {u"人民币金额"}}, {R::Description, {u"交易摘要"}}}},
        {u"工商银行",
         u"工商银行",
         CardKind::Account,
         {u"交易日期", u"摘要", u"记账金额(收入)", u"记账金额(支出)", u"对方户名"},
         {{R::Date, {u"交易日期"}},
          {R::Income, {u"记账金额(收入)"}},
          {R::Expense, {u"记账金额(支出)"}},
          {R::Type, {u"摘要"}},
          {R::Counterpart, {u"对方户名"}},
          {R::Description, {u"交易场所"}}}},
        {u"建设银行",
         u"建设银行",
         CardKind::Account,
         {u"交易日期", u"摘要", u"交易金额", u"账户余额", u"对方账号与户名"},
         {{R::Date, {u"交易日期"}},
          {R::Amount, {u"交易金额"}},
          {R::Type, {u"摘要"}},
          {R::Counterpart, {u"对方账号与户名"}},
          {R::Description, {u"交易地点/附言"}}}},
        {u"农业银行",
         u"农业银行",
         CardKind::Account,
         {u"交易日期", u"交易时间", u"交易金额", u"本次余额", u"对方户名", u"交易摘要"},
         {{R::Date, {u"交易日期"}},
          {R::Time, {u"交易时间"}},
          {R::Amount, {u"交易金额"}},
          {R::Counterpart, {u"对方户名"}},
          {R::Type, {u"交易摘要"}},
          {R::Description, {u"交易用途"}}}},
        {u"中国银行",
         u"中国银行",
         CardKind::Account,
         {u"交易日期", u"交易时间", u"交易金额", u"交易后余额", u"交易附言", u"对方账户名"},
         {{R::Date, {u"交易日期"}},
          {R::Time, {u"交易时间"}},
          {R::Amount, {u"交易金额"}},
          {R::Counterpart, {u"对方账户名"}},
          {R::Description, {u"交易附言"}},
          {R::Type, {u"业务摘要"}}}},
    };
    return layouts;
}

// Common names of each role, in the order roles take their columns.
const std::vector<RoleNames>& commonNames()
{
    using R = ColumnRole;
    static const std::vector<RoleNames> names = {
        {R::Date,
         {u"交易时间", u"交易日期", u"交易创建时间", u"交易日", u"记账日期", u"记账日", u"入账日期",
          u"日期", u"时间", u"date", u"transactiondate", u"transdate", u"bookingdate",
          u"postingdate", u"posteddate", u"valuedate"}},
        {R::Time, {u"交易时间", u"时间", u"time"}},
        {R::Direction,
         {u"收/支", u"收支", u"收支类型", u"借贷", u"借贷标志", u"借贷方向", u"收付标志",
          u"资金方向", u"dr/cr", u"debit/credit"}},
        {R::Income,
         {u"收入", u"收入金额", u"存入", u"存入金额", u"贷方金额", u"贷方发生额", u"贷方",
          u"credit", u"creditamount", u"paidin", u"moneyin"}},
        {R::Expense,
         {u"支出", u"支出金额", u"支取", u"支取金额", u"借方金额", u"借方发生额", u"借方", u"debit",
          u"debitamount", u"paidout", u"moneyout"}},
        {R::Amount,
         {u"金额", u"交易金额", u"人民币金额", u"记账金额", u"发生额", u"实付金额", u"amount",
          u"transactionamount"}},
        {R::TransactionNo,
         {u"交易号", u"交易单号", u"交易订单号", u"流水号", u"交易流水号", u"订单号",
          u"transactionid"}},
        {R::State, {u"交易状态", u"当前状态", u"状态", u"status"}},
        {R::Category, {u"交易分类", u"分类", u"类别", u"category"}},
        {R::Type, {u"交易类型", u"类型", u"业务类型", u"交易种类"}},
        {R::Counterpart,
         {u"交易对方", u"对方户名", u"对方账户名", u"对方名称", u"对方", u"商户名称", u"收款方",
          u"对手信息", u"payee", u"counterparty", u"merchant"}},
        {R::Description,
         {u"摘要", u"说明", u"交易说明", u"描述", u"商品", u"商品说明", u"商品名称", u"交易摘要",
          u"用途", u"附言", u"交易附言", u"订单标题", u"description", u"details", u"memo",
          u"narrative", u"备注"}},
        {R::Refund, {u"成功退款", u"退款金额", u"已退款金额"}},
    };
    return names;
}

bool isTaken(const ColumnMap& columns, int index)
{
    for (const auto& [role, column] : columns)
        if (column == index)
            return true;
    return false;
}

QString withoutUnit(const QString& name)
{
    static const QRegularExpression unit(
        QStringLiteral("\\((元|人民币|人民币元|rmb|cny|¥|￥)\\)$"));
    QString bare = name;
    bare.remove(unit);
    return bare;
}

int indexOf(const QStringList& normalized, QStringView name, const ColumnMap& taken)
{
    for (int i = 0; i < normalized.size(); ++i) {
        if (normalized.at(i) != name)
            continue;
        if (!isTaken(taken, i))
            return i;
    }
    return -1;
}

} // namespace

QString roleName(ColumnRole role)
{
    switch (role) {
    case ColumnRole::Date:
        return QStringLiteral("日期");
    case ColumnRole::Time:
        return QStringLiteral("时间");
    case ColumnRole::Amount:
        return QStringLiteral("金额");
    case ColumnRole::Income:
        return QStringLiteral("收入金额");
    case ColumnRole::Expense:
        return QStringLiteral("支出金额");
    case ColumnRole::Direction:
        return QStringLiteral("收支");
    case ColumnRole::Counterpart:
        return QStringLiteral("交易对方");
    case ColumnRole::Description:
        return QStringLiteral("说明");
    case ColumnRole::Category:
        return QStringLiteral("分类");
    case ColumnRole::Type:
        return QStringLiteral("交易类型");
    case ColumnRole::State:
        return QStringLiteral("状态");
    case ColumnRole::TransactionNo:
        return QStringLiteral("交易号");
    case ColumnRole::Refund:
        return QStringLiteral("退款金额");
    }
    return QString();
}

QString normalizedHeader(const QString& cell)
{
    QString name;
    name.reserve(cell.size());
    for (const QChar c : trimCell(cell)) {
        if (c.isSpace() || c.unicode() == 0xFEFF)
            continue;
        switch (c.unicode()) {
        case u'（':
            name += QLatin1Char('(');
            break;
        case u'）':
            name += QLatin1Char(')');
            break;
        case u'／':
            name += QLatin1Char('/');
            break;
        case u'：':
        case u':':
            break;
        default:
            name += c.toLower();
        }
    }
    return name;
}

Layout genericLayout(const QStringList& cells)
{
    QStringList normalized;
    for (const QString& cell : cells)
        normalized.append(withoutUnit(normalizedHeader(cell)));

    Layout layout;
    layout.name = QStringLiteral("通用");
    layout.source = QStringLiteral("账单");
    for (const RoleNames& role : commonNames()) {
        for (const QStringView name : role.names) {
            const int index = indexOf(normalized, name, layout.columns);
            if (index >= 0) {
                layout.columns[role.role] = index;
                break;
            }
        }
    }
    // Names that only contain a role's word: 交易金额(收入), 支出金额(元).
    const auto byWord = [&](ColumnRole role, std::initializer_list<const char16_t*> words) {
        if (layout.columns.count(role))
            return;
        for (int i = 0; i < normalized.size(); ++i) {
            if (isTaken(layout.columns, i) || normalized.at(i).contains(QLatin1Char('/')))
                continue;
            for (const char16_t* word : words) {
                if (normalized.at(i).contains(QStringView(word))) {
                    layout.columns[role] = i;
                    return;
                }
            }
        }
    };
    byWord(ColumnRole::Income, {u"收入", u"存入", u"贷方"});
    byWord(ColumnRole::Expense, {u"支出", u"支取", u"借方"});
    if (!layout.columns.count(ColumnRole::Income) && !layout.columns.count(ColumnRole::Expense))
        byWord(ColumnRole::Amount, {u"金额", u"amount"});

    const bool date = layout.columns.count(ColumnRole::Date) > 0;
    const bool amount = layout.columns.count(ColumnRole::Amount) > 0 ||
                        layout.columns.count(ColumnRole::Income) > 0 ||
                        layout.columns.count(ColumnRole::Expense) > 0;
    if (date && amount)
        layout.fit = Layout::Fit::Complete;
    else if (layout.columns.size() >= 2)
        layout.fit = Layout::Fit::Partial;
    return layout;
}

Layout recognizeHeader(const QStringList& cells)
{
    QStringList normalized;
    for (const QString& cell : cells)
        normalized.append(normalizedHeader(cell));

    const KnownLayout* best = nullptr;
    for (const KnownLayout& known : knownLayouts()) {
        bool all = true;
        for (const QStringView name : known.required)
            all = all && normalized.contains(name);
        if (all && (!best || known.required.size() > best->required.size()))
            best = &known;
    }
    if (!best)
        return genericLayout(cells);

    Layout layout;
    layout.fit = Layout::Fit::Known;
    layout.name = QString::fromUtf16(best->name);
    layout.source = QString::fromUtf16(best->source);
    layout.card = best->card;
    for (const RoleNames& role : best->roles) {
        for (const QStringView name : role.names) {
            const int index = indexOf(normalized, name, layout.columns);
            if (index >= 0) {
                layout.columns[role.role] = index;
                break;
            }
        }
    }
    return layout;
}

QList<ColumnRole> missingRoles(const ColumnMap& columns)
{
    const auto has = [&](ColumnRole role) {
        const auto it = columns.find(role);
        return it != columns.end() && it->second >= 0;
    };
    const auto chosen = [&](ColumnRole role) {
        return columns.count(role) > 0;
    };
    QList<ColumnRole> missing;
    if (!has(ColumnRole::Date))
        missing.append(ColumnRole::Date);
    if (!has(ColumnRole::Amount) && !has(ColumnRole::Income) && !has(ColumnRole::Expense))
        missing.append(ColumnRole::Amount);
    // "No text column" is an answer the user may give; a type serves as a text.
    if (!chosen(ColumnRole::Counterpart) && !chosen(ColumnRole::Description) &&
        !chosen(ColumnRole::Type))
        missing.append(ColumnRole::Description);
    return missing;
}

QString layoutSignature(const QStringList& header)
{
    QStringList names;
    for (const QString& cell : header)
        names.append(normalizedHeader(cell));
    while (!names.isEmpty() && names.constLast().isEmpty())
        names.removeLast();
    const QByteArray hash =
        QCryptographicHash::hash(names.join(QChar(0x1F)).toUtf8(), QCryptographicHash::Sha1);
    return QString::fromLatin1(hash.toHex());
}
