#include "marketdata/quote_fields.h"

#include <array>
#include <stdexcept>

#include "catalogue/catalogue.h"
#include "catalogue/objects.h"
#include "session/int_stg_list.h"
#include "session/reference_data.h"
#include "toolbox/log.h"

namespace zi {

namespace {

// Texts are Windows-1252; a literal splits where a letter would extend a hexadecimal escape.
constexpr std::array<TQuoteField, kQuoteFields> kFields = {{
    /*   0 */ {"Fechamento|Close|Cierre",
               "Fechamento|Close|Cierre"},
    /*   1 */ {"Abertura|Open|Apertura",
               "Abertura|Open|Apertura"},
    /*   2 */ {"M\xEDnimo|Low|M\xEDnimo",
               "M\xEDnimo|Low|M\xEDnimo"},
    /*   3 */ {"M\xE1ximo|High|M\xE1ximo",
               "M\xE1ximo|High|M\xE1ximo"},
    /*   4 */ {"M\xE9" "dio|Average|Promedio",
               "M\xE9" "dio|Average|Promedio"},
    /*   5 */ {"Q Neg\xF3" "cios|#Trades|Num Operaciones",
               "Q Negs|#Trades|Num Operac"},
    /*   6 */ {"Q T\xEDtulos|#Shares|Cant T\xEDtulos",
               "Q T\xEDts|#Shares|Cant T\xEDts"},
    /*   7 */ {"Volume $|Volume $|Volumen $",
               "Volume$|Volume$|Volumen$"},
    /*   8 */ {"Capta\xE7\xE3o|Inflows|Suscripciones",
               "Capta\xE7\xE3o|Inflows|Suscripc"},
    /*   9 */ {"Resgate|Redemption|Rescate",
               "Resgate|Redemption|Rescate"},
    /*  10 */ {"IR sobre Resgate|Redemption Income Tax|Impuesto sobre Rescate",
               "IR Resg|Red Inc Tx|Imp Resc"},
    /*  11 */ {"Qtd Cotistas|Tot Investors|Cant Inversionistas",
               "Q Cotistas|Tot Invest|Cant Invers"},
    /*  12 */ {"Patrim\xF4nio L\xEDquido|Net Assets|Patrimonio Neto",
               "PL|Net Assets|Patr Neto"},
    /*  13 */ {"Capta\xE7\xE3o L\xEDquida|Net Inflows|Suscripci\xF3n Neta",
               "Capt L\xEDq|Net Inflows|Suscr Neta"},
    /*  14 */ {"Participa\xE7\xE3o de Mercado|Market Share|Participaci\xF3n de Mercado",
               "Part Merc|Mkt Share|Part Merc"},
    /*  15 */ {"Cotas de Aplica\xE7\xE3o|Shares of inflow|Cuotas de Suscripci\xF3n",
               "Cotas Aplic|Shs Inflow|Cuotas Suscr"},
    /*  16 */ {"Cotas Resgatadas|Shares redeeemed|Cuotas Rescatadas",
               "Cotas Resg|Shs Redeem|Cuotas Resc"},
    /*  17 */ {"Investidores Institucionais|Institutional investors|Inversionistas Institucionales",
               "Invest Instit|Instit Investors|Invers Instit"},
    /*  18 */ {"Compras|Purchases|Compras",
               "Compras|Purchases|Compras"},
    /*  19 */ {"Vendas|Sales|Ventas",
               "Vendas|Sales|Ventas"},
    /*  20 */ {"Compra L\xEDquida|Net Buy|Compra Neta",
               "Compra L\xEDq|Net Purch|Compra Neta"},
    /*  21 */ {"Qtd Cotas|# Shares|Cant Cuotas",
               "Cotas do Fundo|Fund Shares|Cuotas del Fondo"},
    /*  22 */ {"Resgate Total|Total Redemption|Rescate Total",
               "Resg Total|Total Red|Resc Total"},
    /*  23 */ {"Fonte dos Dados|Data Source|Fuente de Datos",
               "FonteDad|DtaSrc|FuenteDat"},
    /*  24 */ {"Qtd t\xEDtulos (contr em aberto)|#Securities (contr on loan)|Cantidad t\xEDtulos (contr en abierto)",
               "QtT\xEDt-emAber|#Sec-onLoan|CantT\xEDt-enAbierto"},
    /*  25 */ {"Pre\xE7o m\xE9" "dio (contr em aberto)|Average price (contr on loan)|Precio promedio (contr en abierto)",
               "PrM\xE9" "d-emAber|AvgPrice-onLoan|PrecProm-enAbierto"},
    /*  26 */ {"Valor$ (contr em aberto)|Value$ (contr on loan)|Valor$ (contr en abierto)",
               "Valor$-emAber|Value$-onLoan|Valor$-enAbierto"},
    /*  27 */ {"Qtd t\xEDtulos (balc\xE3o)|#Securities (over-the-counter)|Cantidad t\xEDtulos (extraburs\xE1til)",
               "QtT\xEDt-noPer|#Sec-inPer|CantT\xEDt-enPer"},
    /*  28 */ {"Qtd contratos (balc\xE3o)|#Contracts (over-the-counter)|Cantidad contratos (extraburs\xE1til)",
               "QtContr-noPer|#Contracts-inPer|CantContr-enPer"},
    /*  29 */ {"Valor$ (balc\xE3o)|Value$ (over-the-counter)|Valor$ (extraburs\xE1til)",
               "Valor$-noPer|Value$-inPer|Valor$-enPer"},
    /*  30 */ {"Taxa m\xEDnima do tomador (contr no per\xEDodo)|Minimum fee for borrower (contr in the period)|Tasa m\xEDnima del tomador (contr en el per\xEDodo)",
               "TxM\xEDnTom-noPer|MinFeeBrwr-inPer|TasaM\xEDnTom-enPer"},
    /*  31 */ {"Taxa m\xE1xima do tomador (contr no per\xEDodo)|Maximum fee for borrower (contr in the period)|Tasa m\xE1xima del tomador (contr en el per\xEDodo)",
               "TxM\xE1xTom-noPer|MaxFeeBrwr-inPer|TasaM\xE1xTom-enPer"},
    /*  32 */ {"Taxa m\xE9" "dia do tomador (contr no per\xEDodo)|Average fee for borrower (contr in the period)|Tasa promedio del tomador (contr en el per\xEDodo)",
               "TxM\xE9" "dTom-noPer|AvgFeeBrwr-inPer|TasaPromTom-enPer"},
    /*  33 */ {"Taxa m\xEDnima (balc\xE3o)|Min fee (over-the-counter)|Tasa m\xEDnima (extraburs\xE1til)",
               "TxM\xEDnDoad-noPer|MinFeeLndr-inPer|TasaM\xEDnPrest-enPer"},
    /*  34 */ {"Taxa m\xE1xima (balc\xE3o)|Max fee (over-the-counter)|Tasa m\xE1xima (extraburs\xE1til)",
               "TxM\xE1xDoad-noPer|MaxFeeLndr-inPer|TasaM\xE1xPrest-enPer"},
    /*  35 */ {"Taxa m\xE9" "dia (balc\xE3o)|Avg fee (over-the-counter)|Tasa promedio (extraburs\xE1til)",
               "TxM\xE9" "dDoad-noPer|AvgFeeLndr-inPer|TasaPromPrest-enPer"},
    /*  36 */ {"Pre\xE7o limpo|Clean price|Precio limpio",
               "Pre\xE7o limpo|Clean price|Precio limpio"},
    /*  37 */ {"Taxa (YTM)|Yield to Maturity (YTM)|Rendimiento (YTM)",
               "Taxa (YTM)|YTM|Rend (YTM)"},
    /*  38 */ {"Juros|Interest|Intereses",
               "Juros|Interest|Intereses"},
    /*  39 */ {"Taxa de desconto|Discount rate|Tasa de descuento",
               "Taxa de desconto|Discount rate|Tasa de descuento"},
    /*  40 */ {"Dias at\xE9 o vencimento|Days to maturity|D\xED" "as al vencimiento",
               "Dias venc|Days to matur|D\xED" "as venc"},
    /*  41 */ {"Dias desde o \xFAltimo cupom|Days since last coupon|D\xED" "as desde el \xFAltimo cup\xF3n",
               "Dias \xFAlt cup|Days last coup|D\xED" "as \xFAlt cup"},
    /*  42 */ {"IC|IC|IC",
               "IC|IC|IC"},
    /*  43 */ {"Duration|Duration|Duraci\xF3n",
               "Duration|Duration|Duraci\xF3n"},
    /*  44 */ {"Pre\xE7o limpo (%)|Clean price (%)|Precio limpio (%)",
               "Pre\xE7o limpo (%)|Clean price (%)|Precio limpio (%)"},
    /*  45 */ {"TIR % S/Opc|TIR % S/Opc|TIR % S/Opc",
               "TIR % S/Opc|TIR % S/Opc|TIR % S/Opc"},
    /*  46 */ {"Spreads|Spreads|Diferenciales",
               "Spreads|Spreads|Diferenciales"},
    /*  47 */ {"Margem Libor|Libor margin|Margen Libor",
               "Margem Libor|Libor margin|Margen Libor"},
    /*  48 */ {"Fonte|Source|Fuente",
               "Fonte|Source|Fuente"},
    /*  49 */ {"Ativo Total|Total Asset|Activo Total",
               "Ativo Total|Total Asset|Activo Total"},
    /*  50 */ {"Taxa de mercado|Market rate|Tasa de mercado",
               "Taxa de mercado|Market rate|Tasa de mercado"},
    /*  51 */ {"Spread de taxa|Yield spread|Diferencial de rendimiento",
               "Spread de taxa|Yield spread|Diferencial de rendimiento"},
    /*  52 */ {"Duration modificada|Modified duration|Duraci\xF3n modificada",
               "Duration modificada|Modified duration|Duraci\xF3n modificada"},
    /*  53 */ {"Duration de Macaulay|Macaulay duration|Duraci\xF3n de Macaulay",
               "Duration de Macaulay|Macaulay duration|Duraci\xF3n de Macaulay"},
    /*  54 */ {"Convexidade|Convexity|Convexidad",
               "Convexidade|Convexity|Convexidad"},
    /*  55 */ {"Taxa de compra|Buying rate|Tasa de compra",
               "Taxa de compra|Buying rate|Tasa de compra"},
    /*  56 */ {"Taxa de venda|Selling rate|Tasa de venta",
               "Taxa de venda|Selling rate|Tasa de venta"},
    /*  57 */ {"Desvio padr\xE3o|Standard deviation|Desviaci\xF3n est\xE1ndar",
               "Desvio padr\xE3o|Standard deviation|Desviaci\xF3n est\xE1ndar"},
    /*  58 */ {"Intervalo indicativo m\xEDnimo|Min indicative range|Rango indicativo m\xEDnimo",
               "Int ind m\xEDn|Min ind range|Rango ind m\xEDn"},
    /*  59 */ {"Intervalo indicativo m\xE1ximo|Max indicative range|Rango indicativo m\xE1ximo",
               "Int ind m\xE1x|Max ind range|Rango ind m\xE1x"},
    /*  60 */ {"% PU Par|% PU Par|% PU Par",
               "% PU Par|% PU Par|% PU Par"},
    /*  61 */ {"Duration (DU)|Duration (BD)|Duraci\xF3n (DH)",
               "Duration (DU)|Duration (BD)|Duraci\xF3n (DH)"},
    /*  62 */ {"Percentual|Percentage|Porcentaje",
               "Percentual|Percentage|Porcentaje"},
    /*  63 */ {"Carteira a valor de mercado|Portfolio at market value|Cartera a valor de mercado",
               "Cart val merc|Port mkt value|Cart val merc"},
    /*  64 */ {"RAP (dc)|RAP (cd)|RAP (dc)",
               "RAP (dc)|RAP (cd)|RAP (dc)"},
    /*  65 */ {"Taxa de compra D-1 (aa)|Buying interest rate D-1 (pa)|Tasa de compra D-1 (aa)",
               "Tx compra D-1 (aa)|By int rate D-1 (pa)|Tasa compra D-1 (aa)"},
    /*  66 */ {"Taxa de venda D-0 (aa)|Selling interest rate D-0 (pa)|Tasa de venta D-0 (aa)",
               "Tx venda D-0 (aa)|Sell int rate D-0 (pa)|Tasa venta D-0 (aa)"},
    /*  67 */ {"Valor t\xE9" "cnico|Technical value|Valor t\xE9" "cnico",
               "Val T\xE9" "c|Tec Val|Val T\xE9" "c"},
    /*  68 */ {"Paridade|Parity|Paridad",
               "Parid|Parit|Parid"},
    /*  69 */ {"Valor Residual|Residual Value|Valor Residual",
               "Val Res|Res Val|Val Res"},
    /*  70 */ {"Taxa de c\xE2mbio|Exchange rate|Tipo de cambio",
               "Tx C\xE2mb|Exch Rat|Tipo Camb"},
    /*  71 */ {"Partic 1 a 3 anos|Partic 1 A 3 years|Partic 1 a 3 a\xF1os",
               "Part 1a3 a|Part 1A3 y|Part 1a3 a"},
    /*  72 */ {"Partic 3 a 5 anos|Partic 3 A 5 years|Partic 3 a 5 a\xF1os",
               "Part 3a5 a|Part 3A5 y|Part 3a5 a"},
    /*  73 */ {"Retorno 1 m\xEAs (365d)|Return 1 month (365d)|Rendimiento 1 mes (365d)",
               "Ret 1 m(365d)|Ret 1 m(365d)|Rend 1 m(365d)"},
    /*  74 */ {"Retorno 6 meses (365d)|Return 6 months (365d)|Rendimiento 6 meses (365d)",
               "Ret 6 m(365d)|Ret 6 m(365d)|Rend 6 m(365d)"},
    /*  75 */ {"Retorno 1 ano (365d)|Return 1 year (365d)|Rendimiento 1 a\xF1o (365d)",
               "Ret 1 a(365d)|Ret 1 y(365d)|Rend 1 a(365d)"},
    /*  76 */ {"Retorno no ano (365d)|Return in this year(365d)|Rendimiento en el a\xF1o (365d)",
               "Ret no ano(365d)|Ret this y(365d)|Rend en a\xF1o(365d)"},
    /*  77 */ {"Retorno 2 anos (365d)|Return 2 years (365d)|Rendimiento 2 a\xF1os (365d)",
               "Ret 2 a(365d)|Ret 2 y(365d)|Rend 2 a(365d)"},
    /*  78 */ {"Volatil 1 m\xEAs (365d)|Volatil 1 month (365d)|Volatil 1 mes (365d)",
               "Vola 1 m(365d)|Vola 1 m(365d)|Vola 1 m(365d)"},
    /*  79 */ {"Volatil 6 meses (365d)|Volatil 6 months (365d)|Volatil 6 meses (365d)",
               "Vola 6 m(365d)|Vola 6 m(365d)|Vola 6 m(365d)"},
    /*  80 */ {"Volatil 1 ano (365d)|Volatil 1 year (365d)|Volatil 1 a\xF1o (365d)",
               "Vola 1 a(365d)|Vola 1 y(365d)|Vola 1 a(365d)"},
    /*  81 */ {"Volatil no ano (365d)|Volatil in this year(365d)|Volatil en el a\xF1o (365d)",
               "Vola no ano(365d)|Vola this y(365d)|Vola en a\xF1o(365d)"},
    /*  82 */ {"Volatil em 2 anos (365d)|Volatil in 2 years(365d)|Volatil en 2 a\xF1os (365d)",
               "Vola 2 a(365d)|Vola 2 y(365d)|Vola 2 a(365d)"},
    /*  83 */ {"Partic DTF|Partic DTF|Partic DTF",
               "Partic DTF|Partic DTF|Partic DTF"},
    /*  84 */ {"Partic taxa fixa|Partic fixed rate|Partic tasa fija",
               "Part tx fixa|Part fixed rate|Part tasa fija"},
    /*  85 */ {"Partic IPC|Partic IPC|Partic IPC",
               "Partic IPC|Partic IPC|Partic IPC"},
    /*  86 */ {"Partic UVR|Partic UVR|Partic UVR",
               "Parti UVR|Parti UVR|Parti UVR"},
    /*  87 */ {"Partic IBR|Partic IBR|Partic IBR",
               "Parti IBR|Parti IBR|Parti IBR"},
    /*  88 */ {"Partic caixa e equival|Partic cash and equival|Partic efectivo y equival",
               "Part caixa eq|Parti cash equ|Part efect eq"},
    /*  89 */ {"M\xE9" "d d rend disp|Avg d inc avail|Prom d rend disp",
               "M\xE9" "d d rend disp|Avg d inc avail|Prom d rend disp"},
    /*  90 */ {"Partic 1-180 dias|Partic 1-180 days|Partic 1-180 d\xED" "as",
               "Partic 1-180 dias|Partic 1-180 days|Partic 1-180 d\xED" "as"},
    /*  91 */ {"Part 180-365 dias|Part 180-365 days|Part 180-365 d\xED" "as",
               "Part 180-365 dias|Part 180-365 days|Part 180-365 d\xED" "as"},
    /*  92 */ {"Taxa equivalente atual|Curr equivalent rate|Tasa equivalente actual",
               "Tx equiv atual|Curr equiv rate|Tasa equiv actual"},
    /*  93 */ {"Rota\xE7\xE3o|Rotation|Rotaci\xF3n",
               "Rota\xE7\xE3o|Rotation|Rotaci\xF3n"},
    /*  94 */ {"Taxa (EXP)|Yield (EXP)|Rendimiento (EXP)",
               "Taxa (EXP)|Yield (EXP)|Rendimiento (EXP)"},
    /*  95 */ {"Taxa (RLL)|Yield (RLL)|Rendimiento (RLL)",
               "Taxa (RLL)|Yield (RLL)|Rendimiento (RLL)"},
    /*  96 */ {"Qtd t\xEDtulos (D+0)|#Securities (D+0)|Cantidad t\xEDtulos (D+0)",
               "QtT\xEDt-D+0|#Sec-D+0|CantT\xEDt-D+0"},
    /*  97 */ {"Qtd contratos (D+0)|#Contracts (D+0)|Cantidad contratos (D+0)",
               "QtContr-D+0|#Contracts-D+0|CantContr-D+0"},
    /*  98 */ {"Valor$ (D+0)|Value$ (D+0)|Valor$ (D+0)",
               "Valor$-D+0|Value$-D+0|Valor$-D+0"},
    /*  99 */ {"Taxa m\xEDnima (D+0)|Min fee (D+0)|Tasa m\xEDnima (D+0)",
               "TxM\xEDn-D+0|MinFee-D+0|TasaM\xEDn-D+0"},
    /* 100 */ {"Taxa m\xE1xima (D+0)|Max fee (D+0)|Tasa m\xE1xima (D+0)",
               "TxM\xE1x-D+0|MaxFee-D+0|TasaM\xE1x-D+0"},
    /* 101 */ {"Taxa m\xE9" "dia (D+0)|Avg fee (D+0)|Tasa promedio (D+0)",
               "TxM\xE9" "d-D+0|AvgFee-D+0|TasaProm-D+0"},
    /* 102 */ {"Qtd t\xEDtulos (D+1)|#Securities (D+1)|Cantidad t\xEDtulos (D+1)",
               "QtT\xEDt-D+1|#Sec-D+1|CantT\xEDt-D+1"},
    /* 103 */ {"Qtd contratos (D+1)|#Contracts (D+1)|Cantidad contratos (D+1)",
               "QtContr-D+1|#Contracts-D+1|CantContr-D+1"},
    /* 104 */ {"Valor$ (D+1)|Value$ (D+1)|Valor$ (D+1)",
               "Valor$-D+1|Value$-D+1|Valor$-D+1"},
    /* 105 */ {"Taxa m\xEDnima (D+1)|Min fee (D+1)|Tasa m\xEDnima (D+1)",
               "TxM\xEDn-D+1|MinFee-D+1|TasaM\xEDn-D+1"},
    /* 106 */ {"Taxa m\xE1xima (D+1)|Max fee (D+1)|Tasa m\xE1xima (D+1)",
               "TxM\xE1x-D+1|MaxFee-D+1|TasaM\xE1x-D+1"},
    /* 107 */ {"Taxa m\xE9" "dia (D+1)|Avg fee (D+1)|Tasa promedio (D+1)",
               "TxM\xE9" "d-D+1|AvgFee-D+1|TasaProm-D+1"},
    /* 108 */ {"Taxa m\xEDnima|Minimum rate|Tasa m\xEDnima",
               "Tx m\xEDn|Min rate|Tasa m\xEDn"},
    /* 109 */ {"Taxa m\xE1xima|Maximum rate|Tasa m\xE1xima",
               "Tx m\xE1x|Max rate|Tasa m\xE1x"},
    /* 110 */ {"Taxa m\xE9" "dia|Average rate|Tasa promedio",
               "Tx m\xE9" "d|Avrg rate|Tasa prom"},
    /* 111 */ {"Fonte dos Dados|Data Source|Fuente de Datos",
               "FonteDad|DtaSrc|FuenteDat"},
    /* 112 */ {"Pre\xE7o de refer\xEAncia|Reference price|Precio de referencia",
               "Pr ref|Ref price|Prec ref"},
    /* 113 */ {"Extragrupo abertura|Extragroup open|Extragrupo apertura",
               "Extgrp abert|Extgrp open|Extgrp apert"},
    /* 114 */ {"Extragrupo m\xEDnimo|Extragroup low|Extragrupo m\xEDnimo",
               "Extgrp m\xEDn|Extgrp low|Extgrp m\xEDn"},
    /* 115 */ {"Extragrupo m\xE1ximo|Extragroup high|Extragrupo m\xE1ximo",
               "Extgrp m\xE1x|Extgrp high|Extgrp m\xE1x"},
    /* 116 */ {"Extragrupo m\xE9" "dio|Extragroup average|Extragrupo promedio",
               "Extgrp m\xE9" "dio|Extgrp average|Extgrp prom"},
    /* 117 */ {"Extragrupo fechamento|Extragroup close|Extragrupo cierre",
               "Extgrp fech|Extgrp close|Extgrp cierre"},
    /* 118 */ {"Extragrupo q neg\xF3" "cios|Extragroup #trades|Extragrupo num operaciones",
               "Extgrp q negs|Extgrp #trades|Extgrp num oper"},
    /* 119 */ {"Extragrupo q t\xEDtulos|Extragroup #shares|Extragrupo cant t\xEDtulos",
               "Extgrp q t\xEDts|Extgrp #shares|Extgrp cant t\xEDts"},
    /* 120 */ {"Extragrupo volume $|Extragroup volume $|Extragrupo volumen $",
               "Extgrp volume$|Extgrp volume$|Extgrp volumen$"},
    /* 121 */ {"Extragrupo pre\xE7o de refer\xEAncia|Extragroup reference price|Extragrupo precio de referencia",
               "Extgrp pr ref|Extgrp ref price|Extgrp prec ref"},
    /* 122 */ {"Intragrupo abertura|Intragroup open|Intragrupo apertura",
               "Intgrp abert|Intgrp open|Intgrp apert"},
    /* 123 */ {"Intragrupo m\xEDnimo|Intragrupo low|Intragrupo m\xEDnimo",
               "Intgrp m\xEDn|Intgrp low|Intgrp m\xEDn"},
    /* 124 */ {"Intragrupo m\xE1ximo|Intragrupo high|Intragrupo m\xE1ximo",
               "Intgrp m\xE1x|Intgrp high|Intgrp m\xE1x"},
    /* 125 */ {"Intragrupo m\xE9" "dio|Intragrupo average|Intragrupo promedio",
               "Intgrp m\xE9" "dio|Intgrp average|Intgrp prom"},
    /* 126 */ {"Intragrupo fechamento|Intragrupo close|Intragrupo cierre",
               "Intgrp fech|Intgrp close|Intgrp cierre"},
    /* 127 */ {"Intragrupo q neg\xF3" "cios|Intragrupo #trades|Intragrupo num operaciones",
               "Intgrp q negs|Intgrp #trades|Intgrp num oper"},
    /* 128 */ {"Intragrupo q t\xEDtulos|Intragrupo #shares|Intragrupo cant t\xEDtulos",
               "Intgrp q t\xEDts|Intgrp #shares|Intgrp cant t\xEDts"},
    /* 129 */ {"Intragrupo volume $|Intragrupo volume $|Intragrupo volumen $",
               "Intgrp volume$|Intgrp volume$|Intgrp volumen$"},
    /* 130 */ {"Intragrupo pre\xE7o de refer\xEAncia|Intragroup reference price|Intragrupo precio de referencia",
               "Intgrp pr ref|Intgrp ref price|Intgrp prec ref"},
}};

constexpr int kUnused = kNoQuoteField;
using TLayout = std::array<int, kQuoteValues>;

// Layout 0 uses no position; it is the layout when none can be chosen.
constexpr std::array<TLayout, kQuoteLayouts> kLayouts = [] {
  std::array<TLayout, kQuoteLayouts> layouts{};
  layouts[0].fill(kUnused);
  constexpr std::array<TLayout, kQuoteLayouts - 1> kChosen = {{
    /*  1 */ {1, 2, 3, 4, 0, 5, 6, 7, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused},
    /*  2 */ {8, 9, 10, 23, 0, 11, 22, 12, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused},
    /*  3 */ {15, 16, 49, kUnused, 0, 11, 17, 12, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused},
    /*  4 */ {kUnused, kUnused, kUnused, 14, 0, kUnused, 21, 12, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused},
    /*  5 */ {kUnused, kUnused, kUnused, kUnused, 0, 11, kUnused, 12, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused},
    /*  6 */ {24, 25, 26, 27, 28, 29, 33, 34, 35, kUnused, kUnused, kUnused, 96, 97, 98, 99, 100, 101, 102, 103, 104, 105, 106, 107, kUnused, kUnused, kUnused},
    /*  7 */ {38, 37, 39, 36, 0, 40, 41, 50, 51, 52, 53, 54, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused},
    /*  8 */ {0, 36, 42, 37, 43, 44, 45, 46, 47, 48, 40, 41, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused},
    /*  9 */ {kUnused, kUnused, 49, kUnused, 0, 11, 17, 12, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused},
    /* 10 */ {kUnused, kUnused, kUnused, kUnused, 0, kUnused, kUnused, kUnused, 37, kUnused, 61, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused},
    /* 11 */ {55, 56, 58, 59, 0, 60, 61, 57, 37, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused},
    /* 12 */ {62, 63, 65, 66, 0, 64, 61, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused},
    /* 13 */ {38, 37, 39, 36, 0, 67, 68, 69, 70, 52, 53, 54, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused},
    /* 14 */ {83, 84, 85, 86, 0, 11, 87, 12, 88, 89, 90, 91, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused},
    /* 15 */ {71, 72, 73, 74, 75, 76, 77, 78, 79, 80, 81, 82, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused},
    /* 16 */ {40, 41, kUnused, 60, 0, 5, 6, 7, 37, 48, 53, 54, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused},
    /* 17 */ {40, 41, 46, 60, 0, 5, 6, 7, 37, 48, 53, 54, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused},
    /* 18 */ {kUnused, kUnused, kUnused, kUnused, 0, 11, kUnused, 12, 93, 52, 40, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused},
    /* 19 */ {38, 37, kUnused, 36, 0, 94, 95, kUnused, kUnused, 52, 53, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused},
    /* 20 */ {111, 2, 3, 4, 0, 5, 37, 7, 108, 109, 110, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused},
    /* 21 */ {1, 2, 3, 4, 0, 5, 6, 7, 112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 122, 123, 124, 125, 126, 127, 128, 129, 130},
    /* 22 */ {1, 2, 3, 4, 0, 5, 6, 7, 112, 113, 114, 115, 116, 117, 118, 119, 120, kUnused, 122, 123, 124, 125, 126, 127, 128, 129, 37},
  }};
  for (size_t i = 0; i < kChosen.size(); ++i) layouts[i + 1] = kChosen[i];
  return layouts;
}();

constexpr int kMaxColumn13 = 2;
constexpr int kLendingColumn13 = 2;
constexpr int kLendingLayout = 6;
constexpr int kMaxExchange = 200;
constexpr int kMaxCountry = 79;
constexpr int kMaxMapaFaskel = kQuoteLayouts - 1;
constexpr int kDefaultLayout = 1;
constexpr int kRateType = 7;
constexpr int kRateExchange = 60;
constexpr int kRateLayout = 12;

// Layouts by type of asset (rows) and the exchange's country (columns 0, 1, 2, 3, 4, 10, 11, and
// any other country last).
constexpr std::array<int, 7> kCountries = {0, 1, 2, 3, 4, 10, 11};
struct TTypeRow {
  int types[2];
  std::array<int, kCountries.size() + 1> layouts;
};
constexpr TTypeRow kByTypeAndCountry[] = {
    {{12, 21}, {2, 5, 4, 18, 3, 14, 5, 5}},
    {{9, 9}, {11, 19, 13, 7, 17, 20, 8, 1}},
    {{19, 19}, {10, 19, 13, 7, 16, 1, 8, 1}},
};

int ByTypeAndCountry(int type, int country) {
  for (const TTypeRow& row : kByTypeAndCountry) {
    if (type != row.types[0] && type != row.types[1]) continue;
    size_t column = kCountries.size();
    for (size_t i = 0; i < kCountries.size(); ++i)
      if (kCountries[i] == country) column = i;
    return row.layouts[column];
  }
  return 0;
}

}  // namespace

const TQuoteField& QuoteField(int field) { return kFields.at(static_cast<size_t>(field)); }

int LayoutField(int layout, int position) {
  if (layout < 0 || layout >= kQuoteLayouts || position < 1 || position > kQuoteValues) return kNoQuoteField;
  return kLayouts[static_cast<size_t>(layout)][static_cast<size_t>(position - 1)];
}

int LayoutOfSeries(const TLayoutInputs& in) {
  if (in.column13 < 0 || in.column13 > kMaxColumn13 || in.exchange < 0 || in.exchange > kMaxExchange ||
      in.exchangeCountry < 0 || in.exchangeCountry > kMaxCountry || !in.seriesRead) {
    return 0;
  }
  if (in.mapaFaskel >= 1 && in.mapaFaskel <= kMaxMapaFaskel) return in.mapaFaskel;
  if (in.column13 == kLendingColumn13) return kLendingLayout;
  if (const int layout = ByTypeAndCountry(in.assetType, in.exchangeCountry)) return layout;
  if (in.assetType == kRateType && in.exchange == kRateExchange) return kRateLayout;
  return kDefaultLayout;
}

int LayoutDaSerie(const tObjHierEx& row) {
  TLayoutInputs in{.column13 = row.AnbColuna13, .exchange = row.AnbBolsa, .assetType = row.AtvTipoObj};
  try {
    if (const tIntStg* exchange = Listas().EnumBolsa.ItemDoId(row.AnbBolsa)) in.exchangeCountry = exchange->grupo;
  } catch (const std::exception& e) {
    ReportException("LayoutDaSerie", e);
  }
  tObjAnb anb;
  in.seriesRead = DbObjAnbGet(row.AnbId, anb) == 0;
  in.mapaFaskel = anb.MapaFaskel;
  return LayoutOfSeries(in);
}

std::string ColumnHeading(int layout, int position) {
  const int field = LayoutField(layout, position);
  return field == kNoQuoteField ? "-" : ShownText(QuoteField(field).shortCaption);
}

}  // namespace zi
