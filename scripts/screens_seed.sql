-- Rows the screenshot run adds to a fresh demo database, so that every window shows data.
-- Three years of Petrobras's number of employees (indicator 63), so that its history shows rows; dates
-- are days since 1899-12-30, as the database keeps them.
INSERT INTO IndicadoresDaEmp (emp, indica, DataIniVigencia, valornum)
  SELECT id, 63, julianday(d) - julianday('1899-12-30'), n FROM empresa,
  (SELECT '2021-12-31' AS d, 45532 AS n UNION ALL SELECT '2022-12-31', 45149 UNION ALL SELECT '2023-12-31', 46730)
  WHERE cod = 'PETR';
-- A second date of Petrobras's number of shares: issued and in treasury imported (status 2), the
-- rest derived (status 5) as a save stores it (days since 1920-01-01, as the share base keeps them).
INSERT INTO BaseAcionaria (emp, dia, source, idclass, total, stattot, emtes, statem,
  extes, statex) SELECT id, 37620, 0, c, t, s, e, s, t - e, 5 FROM empresa,
  (SELECT 1 AS c, 13044496930 AS t, 295540 AS e, 5 AS s UNION ALL SELECT 2, 7442454142, 222760, 2
   UNION ALL SELECT 3, 5602042788, 72780, 2) WHERE cod = 'PETR';
-- More corporate actions of PETR3 and PETR4 (a split, interest on capital) and a notice of a meeting of
-- Petrobras, for the windows of corporate actions and news to show several lines; dates are days since
-- 1920-01-01, as the database keeps them.
INSERT INTO Provento (anb, udex, seq, tipo, moeda, acoes, valor, dtAprv, dtPgto, chaveExterna)
  SELECT a.id, julianday(v.d) - julianday('1920-01-01'), v.seq, v.tipo, 1, v.acoes, v.valor,
    julianday(v.d) - julianday('1920-01-01') - 20, NULL, v.k || '-' || a.cod FROM anbima a,
  (SELECT '2008-04-25' AS d, 0 AS seq, 3 AS tipo, 2 AS acoes, NULL AS valor, 'ZOR-SCREENS-SPLIT' AS k
   UNION ALL SELECT '2022-12-01', 0, 27, NULL, 0.849, 'ZOR-SCREENS-JCP1'
   UNION ALL SELECT '2023-08-21', 1, 27, NULL, 0.4, 'ZOR-SCREENS-JCP2'
   UNION ALL SELECT '2024-03-07', 0, 1, NULL, 0.5, 'ZOR-SCREENS-DIV') v
  WHERE a.cod IN ('PETR3', 'PETR4');
INSERT INTO Noticia (emp, dia, seq, txt)
  SELECT id, julianday('2024-03-28') - julianday('1920-01-01'), 0,
    'Convocacao' || char(13, 10) || char(13, 10) || 'Assembleia Geral Ordinaria e Extraordinaria em 25 de abril.'
    || char(13, 10) || 'Pauta: contas do exercicio de 2023, dividendos e eleicao do conselho.'
  FROM empresa WHERE cod = 'PETR';
-- Three more statements of Petrobras beside the demo's 2023 one, so that its statement window shows
-- columns side by side; the 2022 one's current assets were mistyped, and its check fails.
  CREATE TEMP TABLE more (d TEXT, c INTEGER, v TEXT);
  INSERT INTO more VALUES ('2021-12-31', 1, '850,350,500,850,550,300,420,260,160'),
    ('2022-12-31', 1, '900,350,600,900,600,300,450,280,170'), ('2023-12-31', 0, '800,300,500,800,500,300,400,250,150');
  INSERT INTO Balanco (empresa, dataref, consolidado, sourcedobal, TipoDocumento, meses, moeda, datamoeda,
    datadivulgacao, DataUltAlteracao)
    SELECT b.empresa, julianday(m.d) - julianday('1899-12-30'), m.c, 0, 0, 12, b.moeda,
      julianday(m.d) - julianday('1899-12-30'), b.datadivulgacao, b.DataUltAlteracao
    FROM Balanco b JOIN empresa e ON e.id = b.empresa, more m WHERE e.cod = 'PETR';
  WITH RECURSIVE split (d, c, n, rest, value) AS (
    SELECT d, c, 0, v || ',', NULL FROM more
    UNION ALL SELECT d, c, n + 1, substr(rest, instr(rest, ',') + 1), CAST(substr(rest, 1, instr(rest, ',') - 1) AS REAL)
    FROM split WHERE rest <> '')
  INSERT INTO BalancoUmaConta (balanco, conta, De3Meses, valor)
    SELECT b.id, s.n, 0, s.value FROM split s JOIN Balanco b ON b.consolidado = s.c
      AND b.dataref = julianday(s.d) - julianday('1899-12-30') JOIN empresa e ON e.id = b.empresa AND e.cod = 'PETR'
    WHERE s.n > 0;
