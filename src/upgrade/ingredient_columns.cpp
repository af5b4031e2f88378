#include "upgrade/ingredient_columns.h"

namespace zestrel::upgrade {

const ColumnMap& ingredientColumnMap() {
    static const ColumnMap map{
        // target column       from layout 1.0              from layout 1.1
        {u"Name",              first(u"Name", 255),         first(u"Name", 255)},
        {u"Amount",            parsedAmount(u"Amt", 20),    first(u"Amt", 20)},
        {u"Measure",           first(u"Messure", 80),       first(u"Measure", 80)},
        {u"Ingredient",        first(u"Ingred", 255),       first(u"Ingred", 255)},
        {u"PrepComment",       first(u"com", 255),          first(u"com", 255)},
        {u"ItemNo",            first(u"Item", 5),           first(u"Item", 5)},
        {u"rID",               asIs(u"rID"),                asIs(u"rID")},
        {u"Weights",           emptyText(),                 first(u"Weights", 80)},
        {u"Link",              zero(),                      zero()},
        {u"Factor",            zero(),                      zero()},
        {u"MEID",              zero(),                      zero()},
        {u"Cost",              zero(),                      zero()},
        {u"CostUnit",          emptyText(),                 emptyText()},
    };
    return map;
}

}  // namespace zestrel::upgrade
