#include "data/catalogue.h"

// The SQL texts exactly as the program sends them.
const std::vector<CatalogueEntry>& catalogue()
{
    static const std::vector<CatalogueEntry> entries = {
        {"busytables", CatalogueEntry::Query, "busytable",
         "select * from busytable where TableNum = :TB order by TableNum"},
        {"Tables", CatalogueEntry::Query, "busytable",
         "select * from busytable  order by Tablenum"},
        {"setting", CatalogueEntry::Query, "Parametres",
         "select * from Parametres"},
        {"kerdzebi", CatalogueEntry::Query, "kerdzebi",
         "select * from kerdzebi where Dasaxeleba Like :das and tipi like :tp"},
        {"kerdzebi2", CatalogueEntry::Query, "kerdzebi",
         "select * from kerdzebi where Dasaxeleba Like :das and tipi like :tp  and momwodebeli like :mom"},
        {"kerdzebi_kerid", CatalogueEntry::Query, "kerdzebi",
         "select * from kerdzebi where ID like :ID"},
        {"kerdzebibyid", CatalogueEntry::Query, "kerdzebi",
         "select * from kerdzebi order by ID"},
        {"GROUP_TYPE", CatalogueEntry::Query, "",
         "select tipi  from kerdzebi GROUP BY TIPI"},
        {"momwodebeli", CatalogueEntry::Query, "",
         "select (momwodebeli) from kerdzebi group By(momwodebeli)"},
        {"oficianti", CatalogueEntry::Query, "OFICIANTI",
         "select * from OFICIANTI"},
        {"shekvet", CatalogueEntry::Query, "Shekvetebi",
         "select * from Shekvetebi where USERNUM = :USR"},
        {"sum_shekvetebi", CatalogueEntry::Query, "",
         "select sum(Raodenoba * GFASI)as sulfasi from Shekvetebi where USERNUM = :USR"},
        {"shekvetebis_gasuftaveba", CatalogueEntry::Statement, "",
         "Update Shekvetebi Set statusi=100, momsaxureoba = :MOM  where USERNUM like :user"},
        {"History_shekvetebi", CatalogueEntry::Query, "Shekvetebi",
         "select * from Shekvetebi where USERNUM like :USR and  OFFICIANT like :OF  and TableNum like :TB and Tarigi >= :ST  and  Tarigi <= :EN and Kerdzi_DAS like :das"},
        {"sul_his_shek", CatalogueEntry::Query, "",
         "select sum(Raodenoba)as SULRAODENOBA, sum(AFASI * Raodenoba)as SULAFASI, sum( (GFASI * Raodenoba)+((GFASI * Raodenoba) / 100 * momsaxureoba) )as SULGFASI , sum(GFASI * Raodenoba)as SULGF  from Shekvetebi where USERNUM like :USR and  OFFICIANT like :OF  and TableNum like :TB and Tarigi >= :ST  and Tarigi <= :EN  and Kerdzi_DAS like :das"},
        {"magidebis_raod", CatalogueEntry::Query, "",
         "select  USERNUM from Shekvetebi where USERNUM like :USR and  OFFICIANT like :OF  and TableNum like :TB and Tarigi >= :ST  and Tarigi <= :EN  and Kerdzi_DAS like :das group by USERNUM"},
        {"Povari_left", CatalogueEntry::Query, "Shekvetebi",
         "SELECT Shekvetebi.ID, Shekvetebi.USERNUM, Shekvetebi.TableNum, Shekvetebi.Kerdzi_N, Shekvetebi.Kerdzi_DAS, Shekvetebi.AFASI, Shekvetebi.GFASI, Shekvetebi.Raodenoba, Shekvetebi.OFFICIANT, Shekvetebi.Tarigi, Shekvetebi.STATUSI, Shekvetebi.Starttime, Shekvetebi.endtime, Shekvetebi.povari, Shekvetebi.momsaxureoba,  (uplebebi.povari)AS UPOVARI, kerdzebi.tipi FROM (Shekvetebi LEFT JOIN kerdzebi ON Shekvetebi.Kerdzi_N = kerdzebi.ID) LEFT JOIN uplebebi ON kerdzebi.tipi = uplebebi.ganyofileba WHERE Shekvetebi.statusi=1 and Shekvetebi.povari>0 and uplebebi.povari like :UP and  kerdzebi.tipi like :TP  order by Shekvetebi.ID asc"},
        {"povari_right", CatalogueEntry::Query, "Shekvetebi",
         "SELECT Shekvetebi.ID, Shekvetebi.USERNUM, Shekvetebi.TableNum, Shekvetebi.Kerdzi_N, Shekvetebi.Kerdzi_DAS, Shekvetebi.AFASI, Shekvetebi.GFASI, Shekvetebi.Raodenoba, Shekvetebi.OFFICIANT, Shekvetebi.Tarigi, Shekvetebi.STATUSI, Shekvetebi.Starttime, Shekvetebi.endtime, Shekvetebi.povari, Shekvetebi.momsaxureoba,  (uplebebi.povari)AS UPOVARI, kerdzebi.tipi FROM (Shekvetebi LEFT JOIN kerdzebi ON Shekvetebi.Kerdzi_N = kerdzebi.ID) LEFT JOIN uplebebi ON kerdzebi.tipi = uplebebi.ganyofileba WHERE  (Shekvetebi.statusi=2 or Shekvetebi.statusi=3) and Shekvetebi.povari>0 and uplebebi.povari like :UP and  kerdzebi.tipi like :TP order by Shekvetebi.ID asc"},
        {"Opicianti", CatalogueEntry::Query, "Shekvetebi",
         "select * from Shekvetebi where ((statusi >=1 and statusi<=2) or statusi =-5 )  and OFFICIANT like :OP and TableNum like :TB and povari>0  order by statusi desc"},
        {"povrebis_uplebebi", CatalogueEntry::Query, "uplebebi",
         "select * from uplebebi where ganyofileba like :GAN"},
        {"Povrebi", CatalogueEntry::Query, "",
         "select povari from uplebebi Group by povari"},
        {"Povari_group", CatalogueEntry::Query, "",
         "select povari, ganyofileba from uplebebi where povari like :POV"},
        {"migeba_old", CatalogueEntry::Query, "migeba",
         "select * from migeba where  tarigi = :DT and momwSN like :SN and momwFN like :FN and sab_n like :Sab order by ID desc"},
        {"sul_migeba", CatalogueEntry::Query, "",
         "select sum(asagebi * raodenoba)as ASAG, sum(gasayidi* raodenoba)as GASA   from migeba where  tarigi = :DT and momwSN like :SN and momwFN like :FN and sab_n like :Sab"},
        {"migeba_new", CatalogueEntry::Query, "migeba",
         "select * from migeba where  tarigi >= :ST and tarigi <=:EN and momwSN like :SN and momwFN like :FN and sab_n like :Sab order by ID desc"},
        {"migeba_new_sum", CatalogueEntry::Query, "",
         "select sum(raodenoba * asagebi)as sulasagebi, sum(raodenoba * gasayidi)as sulgasayidi from migeba where  tarigi >= :ST and tarigi <=:EN and momwSN like :SN and momwFN like :FN and sab_n like :Sab"},
        {"Nisia", CatalogueEntry::Query, "nisiebi",
         "select * from nisiebi where FN like :FN and USERNUM like :US  and tarigi >=:ST and tarigi <=:EN"},
        {"nisia_grid", CatalogueEntry::Query, "nisiebi",
         "select * from nisiebi where FN like :FN and USERNUM like :US and whois like :who order by ID DESC"},
        {"sum_nisia", CatalogueEntry::Query, "",
         "select (sum(nisia))as Expr1000, sum((shettanxa))as Expr1001, (sum(nisia)- sum(shettanxa))as Expr1002 from nisiebi  where FN like :FN and USERNUM like :US and whois like :who"},
        {"nisiebis_datvla", CatalogueEntry::Query, "",
         "select nisia  from nisiebi where USERNUM like :USR"},
        // The sales report's credit: every client credit row at once, by ID, so
        // that each order's first row is found without a query per order.
        {"klientis_nisiebi", CatalogueEntry::Query, "",
         "select ID, USERNUM, nisia from nisiebi where whois = 'კლიენტი' order by ID"},
        {"dELS", CatalogueEntry::Query, "DELS",
         "select * from DELS WHERE MAGIDA LIKE :MGD AND  SHEKVETISN LIKE :SHN AND TARIGI >= :ST  AND TARIGI<=:EN"},
        {"COMkerdzebi", CatalogueEntry::Statement, "",
         "Update kerdzebi Set raodenoba = 0"},
        {"COMmigeba", CatalogueEntry::Statement, "",
         "delete from migeba"},
        {"COMrealizacia", CatalogueEntry::Statement, "",
         "delete from Shekvetebi"},
        // Stock changes are relative, so that two stations selling the same dish
        // at once both count: Q is the amount added (negative for a sale).
        {"kerdzebi_nashtis_cvlileba", CatalogueEntry::Statement, "",
         "Update kerdzebi Set raodenoba = coalesce(raodenoba, 0) + :Q where ID = :ID"},
        // Order numbers in use, for drawing a new one after "Reset": the highest
        // number on any line, open table or client credit row, and whether USR
        // is on one of them. A credit row keeps its number as text (USRT): the
        // longest, then greatest, text is the highest number.
        {"shekvetis_nomrebi", CatalogueEntry::Query, "",
         "select (select max(USERNUM) from Shekvetebi) as xazebis_max, (select max(USERNUM) from busytable where Busy = 1) as magidebis_max, (select USERNUM from nisiebi where whois = 'კლიენტი' order by length(USERNUM) desc, USERNUM desc limit 1) as nisiebis_max, (select count(*) from Shekvetebi where USERNUM = :USR) + (select count(*) from busytable where Busy = 1 and USERNUM = :USR) + (select count(*) from nisiebi where whois = 'კლიენტი' and USERNUM = :USRT) as dakavebuli"},
        // Clearing closes the lines that were on the bill, in one statement by
        // their IDs (":IDS" = "12,15,17"), and counts the order's lines still
        // open (a dish added after the bill).
        {"shekvetis_xazis_gasuftaveba", CatalogueEntry::Statement, "",
         "Update Shekvetebi Set statusi=100, momsaxureoba = :MOM where USERNUM = :user and coalesce(statusi, 0) <> 100 and ',' || :IDS || ',' like '%,' || ID || ',%'"},
        {"shekvetis_gia_xazebi", CatalogueEntry::Query, "",
         "select count(*) as gia from Shekvetebi where USERNUM = :USR and coalesce(STATUSI, 0) <> 100"},
    };
    return entries;
}
