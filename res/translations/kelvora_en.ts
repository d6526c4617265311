<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>ResultsFault</name>
    <message>
        <source>ファイルが空です</source>
        <translation>the file is empty</translation>
    </message>
    <message>
        <source>行が %1 バイトを超えています: results.csv の行ではありません</source>
        <translation>line is longer than %1 bytes: not a line of results.csv</translation>
    </message>
    <message>
        <source>ファイルがこの行の途中で終わっています</source>
        <translation>the file ends in the middle of this line</translation>
    </message>
    <message>
        <source>行が CR LF で終わっていません</source>
        <translation>line does not end in CR LF</translation>
    </message>
    <message>
        <source>行の途中に CR があります</source>
        <translation>carriage return inside the line</translation>
    </message>
    <message>
        <source>個体の行 (遺伝子,遺伝子,遺伝子,適応度 の 4 項目) のはずが %1 項目です</source>
        <translation>expected an individual line of 4 fields gene,gene,gene,fitness, found %1 field</translation>
    </message>
    <message>
        <source>個体の行 (遺伝子,遺伝子,遺伝子,適応度 の 4 項目) のはずが %1 項目あります</source>
        <translation>expected an individual line of 4 fields gene,gene,gene,fitness, found %1 fields</translation>
    </message>
    <message>
        <source>遺伝子 %1 が %2 です: 0～255 の整数のはずです</source>
        <translation>gene %1 is %2, expected a whole number 0..255</translation>
    </message>
    <message>
        <source>適応度が %1 です: %g で書いた (0, 1] の数のはずです</source>
        <translation>fitness is %1, expected a number in (0, 1] as %g writes it</translation>
    </message>
    <message>
        <source>要約の行 (最良の番号,最良,平均 の 3 項目) のはずが %1 項目です</source>
        <translation>expected the summary line of 3 fields bestIndex,best,average, found %1 field</translation>
    </message>
    <message>
        <source>要約の行 (最良の番号,最良,平均 の 3 項目) のはずが %1 項目あります</source>
        <translation>expected the summary line of 3 fields bestIndex,best,average, found %1 fields</translation>
    </message>
    <message>
        <source>要約の最良の番号が %1 です: 0～%2 の整数のはずです</source>
        <translation>summary best index is %1, expected a whole number 0..%2</translation>
    </message>
    <message>
        <source>要約の最良が %1 です: %g で書いた (0, 1] の数のはずです</source>
        <translation>summary best is %1, expected a number in (0, 1] as %g writes it</translation>
    </message>
    <message>
        <source>要約の平均が %1 です: %g で書いた (0, 1] の数のはずです</source>
        <translation>summary average is %1, expected a number in (0, 1] as %g writes it</translation>
    </message>
    <message>
        <source>適応度 %1 が遺伝子と合いません: 目標点 %3,%4 では %2 のはずです</source>
        <translation>fitness %1 does not match its genes: expected %2 for the target %3,%4</translation>
    </message>
    <message>
        <source>最初の世代の要約の行より前でファイルが終わっています: 完全な世代がありません</source>
        <translation>the file ends before the first generation&apos;s summary line: no complete generation</translation>
    </message>
    <message>
        <source>最初の個体の行のはずの所に要約の行があります</source>
        <translation>a summary line where the first individual was expected</translation>
    </message>
    <message>
        <source>%1 個体の後に要約の行がありません: 一つの世代はそれより大きくなりません</source>
        <translation>no summary line after %1 individuals: a generation holds at most that many</translation>
    </message>
    <message>
        <source>%1 世代を超えています: 一回の計算はそれより長くなりません</source>
        <translation>more than %1 generations: a run has at most that many</translation>
    </message>
    <message>
        <source>中止しました</source>
        <translation>cancelled</translation>
    </message>
    <message>
        <source>集団サイズ %1 が 1～%2 の範囲外です</source>
        <translation>population %1 is outside 1..%2</translation>
    </message>
    <message>
        <source>記録した索引がバイト 0 から始まっていません</source>
        <translation>the recorded index does not start at byte 0</translation>
    </message>
    <message>
        <source>記録した索引が %1 世代を超えています</source>
        <translation>the recorded index has more than %1 generations</translation>
    </message>
    <message>
        <source>記録した第 %1 世代が行の先頭から始まっていません (バイト %2)</source>
        <translation>recorded generation %1 does not start at a line (byte %2)</translation>
    </message>
    <message>
        <source>第 %1 世代はファイルにありません</source>
        <translation>generation %1 is not in the file</translation>
    </message>
    <message>
        <source>要約の最良の番号 %1 が世代と合いません: %2 のはずです</source>
        <translation>summary best index %1 does not match its generation: expected %2</translation>
    </message>
    <message>
        <source>要約の最良 %1 が世代と合いません: %2 のはずです</source>
        <translation>summary best %1 does not match its generation: expected %2</translation>
    </message>
    <message>
        <source>要約の平均 %1 が世代と合いません: %2 のはずです</source>
        <translation>summary average %1 does not match its generation: expected %2</translation>
    </message>
    <message>
        <source>読んでいる間にファイルが短くなりました</source>
        <translation>the file was cut short while it was being read</translation>
    </message>
    <message>
        <source>読んでいる間にファイルが長くなりました</source>
        <translation>the file grew while it was being read</translation>
    </message>
    <message>
        <source>読んでいる間にファイルが置き換えられました</source>
        <translation>the file was replaced while it was being read</translation>
    </message>
    <message>
        <source>ファイルのバイト %1 を読めません: %2</source>
        <translation>cannot read the file at byte %1: %2</translation>
    </message>
</context>
<context>
    <name>ResultsReplay</name>
    <message>
        <source>%1 を開けません: %2</source>
        <translation>Cannot open %1: %2</translation>
    </message>
    <message>
        <source>%1 を調べています...</source>
        <translation>Checking %1...</translation>
    </message>
    <message>
        <source>中止</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>%1 の %2 行目: %3</source>
        <translation>%1, line %2: %3</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
</context>
<context>
    <name>StringTable</name>
    <message>
        <source>Kelvora のﾊﾞｰｼﾞｮﾝ情報(&amp;A)...</source>
        <translation>&amp;About Kelvora...</translation>
    </message>
</context>
<context>
    <name>kelvora::ui::CAboutDlg</name>
    <message>
        <source>Kelvoraのﾊﾞｰｼﾞｮﾝ情報</source>
        <translation>About Kelvora</translation>
    </message>
    <message>
        <source>Kelvora Version 1.0</source>
        <translation>Kelvora Version 1.0</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>kelvora::ui::CSolverDlg</name>
    <message>
        <source>%1 から %2 までの整数を入力してください。</source>
        <translation>Enter a whole number from %1 to %2.</translation>
    </message>
    <message>
        <source>%1 から %2 までの数値を入力してください。</source>
        <translation>Enter a number from %1 to %2.</translation>
    </message>
    <message>
        <source>計算</source>
        <translation>Compute</translation>
    </message>
    <message>
        <source>集団サイズ(&lt;10000)</source>
        <translation>Population (&lt;10000)</translation>
    </message>
    <message>
        <source>世代数の上限(&lt;10000)</source>
        <translation>Generations (&lt;10000)</translation>
    </message>
    <message>
        <source>突然変異の確率</source>
        <translation>Mutation probability</translation>
    </message>
    <message>
        <source>交差率</source>
        <translation>Crossover rate</translation>
    </message>
    <message>
        <source>エリート解の誤差</source>
        <translation>Elite error</translation>
    </message>
    <message>
        <source>世代</source>
        <translation> </translation>
    </message>
    <message>
        <source>第</source>
        <translation>Generation</translation>
    </message>
    <message>
        <source>目標点y座標</source>
        <translation>Target y</translation>
    </message>
    <message>
        <source>目標点x座標</source>
        <translation>Target x</translation>
    </message>
    <message>
        <source>閉じる(&amp;C)</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>第 %1 世代で中止しました (上限 %2 世代)</source>
        <translation>Stopped at generation %1 (limit %2 generations)</translation>
    </message>
    <message>
        <source>結果ファイル &quot;%1&quot; には別の計算が書き込み中です。計算は行いませんでした。</source>
        <translation>Another run is writing the result file &quot;%1&quot;. Nothing was computed.</translation>
    </message>
    <message>
        <source>名前付きパイプ</source>
        <translation>a named pipe</translation>
    </message>
    <message>
        <source>ソケット</source>
        <translation>a socket</translation>
    </message>
    <message>
        <source>ブロックデバイス</source>
        <translation>a block device</translation>
    </message>
    <message>
        <source>ディレクトリ</source>
        <translation>a directory</translation>
    </message>
    <message>
        <source>特殊なファイル</source>
        <translation>a special file</translation>
    </message>
    <message>
        <source>結果ファイル &quot;%1&quot; は通常のファイルではないため開きませんでした (%2)。このファイルには何も書かれていません。</source>
        <translation>The result file &quot;%1&quot; was not opened: it is not a regular file (%2). Nothing was written to it.</translation>
    </message>
    <message>
        <source>結果ファイル &quot;%1&quot; は計算中に削除されました。このファイルの内容は失われました。</source>
        <translation>The result file &quot;%1&quot; was deleted during the run. What it held is lost.</translation>
    </message>
    <message>
        <source>結果ファイル &quot;%1&quot; を開けませんでした (%2)。このファイルには何も書かれていません。</source>
        <translation>The result file &quot;%1&quot; could not be opened (%2). Nothing was written to it.</translation>
    </message>
    <message>
        <source>結果ファイル &quot;%1&quot; に書き込めませんでした (%2)。このファイルの内容は途中までです。</source>
        <translation>The result file &quot;%1&quot; could not be written (%2). It holds only the start of the run.</translation>
    </message>
    <message>
        <source>計算は第 %1 世代で中止され、そこまでの結果が画面に表示されています。</source>
        <translation>The run was stopped at generation %1; the window shows its results up to there.</translation>
    </message>
    <message>
        <source>計算は最後まで行われ、結果は画面に表示されています。</source>
        <translation>The run went to its end; the window shows its results.</translation>
    </message>
    <message>
        <source>結果を開く(&amp;O)...</source>
        <translation>&amp;Open Results...</translation>
    </message>
    <message>
        <source>集団を表示</source>
        <translation>Show Population</translation>
    </message>
    <message>
        <source>結果を開く</source>
        <translation>Open Results</translation>
    </message>
    <message>
        <source>結果ファイル (*.csv);;すべてのファイル (*)</source>
        <translation>Result files (*.csv);;All files (*)</translation>
    </message>
    <message>
        <source>進化のグラフ(&amp;G)...</source>
        <translation>Evolution &amp;Graph...</translation>
    </message>
    <message>
        <source>実験(&amp;E)...</source>
        <translation>&amp;Experiment...</translation>
    </message>
    <message>
        <source>結果ファイル &quot;%1&quot; は開いた後に変わったため、この世代の集団を読めません (%2)。再生を終了します。</source>
        <translation>The results file &quot;%1&quot; has changed since it was opened, so the population of this generation cannot be read (%2). The replay ends.</translation>
    </message>
    <message>
        <source>遺伝的操作(&amp;L)...</source>
        <translation>Genetic &amp;Operators...</translation>
    </message>
    <message>
        <source>トーナメントの大きさ %1 は集団サイズ %2 より大きくできません。集団サイズを %1 以上にするか、遺伝的操作でトーナメントを %2 以下にしてください。</source>
        <translation>A tournament of %1 cannot be larger than the population size %2. Make the population size %1 or more, or the tournament %2 or less under Genetic Operators.</translation>
    </message>
    <message>
        <source>エリート数 %1 は集団サイズ %2 より小さくなければなりません。集団サイズを %3 以上にするか、遺伝的操作でエリート数を %4 以下にしてください。</source>
        <translation>The elite count %1 must be smaller than the population size %2. Make the population size %3 or more, or the elite count %4 or less under Genetic Operators.</translation>
    </message>
    <message>
        <source>run.json を書けませんでした: %1</source>
        <translation>Could not write run.json: %1</translation>
    </message>
    <message>
        <source>Kelvora — %1 (%2)</source>
        <translation>Kelvora — %1 (%2)</translation>
    </message>
    <message>
        <source>開いている結果ファイルを上書きしますか？</source>
        <translation>Overwrite the open results file?</translation>
    </message>
    <message>
        <source>上書きして計算</source>
        <translation>Overwrite and compute</translation>
    </message>
    <message>
        <source>計算しない</source>
        <translation>Don&apos;t compute</translation>
    </message>
    <message>
        <source>シード %1
%2 で再現できます</source>
        <translation>Seed %1
Repeat it with %2</translation>
    </message>
    <message>
        <source>地形(&amp;T)...</source>
        <translation>&amp;Fitness Landscape...</translation>
    </message>
    <message>
        <source>世代の顕微鏡(&amp;M)...</source>
        <translation>Generation &amp;Microscope...</translation>
    </message>
    <message>
        <source>使い方(&amp;H)</source>
        <translation>&amp;Help contents</translation>
    </message>
    <message>
        <source>スイープを開く(&amp;S)...</source>
        <translation>Open &amp;Sweep...</translation>
    </message>
    <message>
        <source>ファイル(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>表示(&amp;V)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>実験(&amp;X)</source>
        <translation>E&amp;xperiment</translation>
    </message>
    <message>
        <source>ヘルプ(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>ポインタの x 座標: 腕の付け根から右へ何 px か (プロットの上で動かすと変わります)</source>
        <translation>The pointer&apos;s x: px right of the arm&apos;s base (changes as the pointer moves over the plot)</translation>
    </message>
    <message>
        <source>ポインタの y 座標: 腕の付け根から上へ何 px か (プロットの上で動かすと変わります)</source>
        <translation>The pointer&apos;s y: px up from the arm&apos;s base (changes as the pointer moves over the plot)</translation>
    </message>
    <message>
        <source>実験を開く(&amp;E)...</source>
        <translation>Open &amp;Experiment...</translation>
    </message>
    <message>
        <source>実験を保存(&amp;X)...</source>
        <translation>Save E&amp;xperiment...</translation>
    </message>
    <message>
        <source>この欄: 最後の世代の最良解の誤差 %1 px</source>
        <translation>This field: the last generation&apos;s best, %1 px from the target</translation>
    </message>
</context>
<context>
    <name>kelvora::ui::ConfigurationTable</name>
    <message>
        <source>ラベル</source>
        <translation>Label</translation>
    </message>
    <message>
        <source>手法</source>
        <translation>Method</translation>
    </message>
    <message>
        <source>集団</source>
        <translation>Population</translation>
    </message>
    <message>
        <source>世代</source>
        <translation>Generations</translation>
    </message>
    <message>
        <source>交差率</source>
        <translation>Crossover</translation>
    </message>
    <message>
        <source>符号化</source>
        <translation>Encoding</translation>
    </message>
    <message>
        <source>選択</source>
        <translation>Selection</translation>
    </message>
    <message>
        <source>エリート</source>
        <translation>Elitism</translation>
    </message>
    <message>
        <source>交差</source>
        <translation>Crossover op.</translation>
    </message>
    <message>
        <source>変異</source>
        <translation>Mutation op.</translation>
    </message>
    <message>
        <source>追加</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>削除</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>%1 行目の「%2」: </source>
        <translation>Row %1, &quot;%2&quot;: </translation>
    </message>
    <message>
        <source>1 から %1 までの整数を入力してください。</source>
        <translation>Enter a whole number from 1 to %1.</translation>
    </message>
    <message>
        <source>%1 から 1 までの数値を入力してください。</source>
        <translation>Enter a number from %1 to 1.</translation>
    </message>
    <message>
        <source>0 から 1 までの数値を入力してください。</source>
        <translation>Enter a number from 0 to 1.</translation>
    </message>
    <message>
        <source>%1 行目: </source>
        <translation>Row %1: </translation>
    </message>
    <message>
        <source>%1 行目: 値の一覧は 1 つのセルにだけ書けます (「%2」と「%3」)。</source>
        <translation>Row %1: only one cell may hold a list of values (&quot;%2&quot; and &quot;%3&quot; do).</translation>
    </message>
    <message>
        <source>%1 行目の「%2」: 値 %3 が 2 回あります。</source>
        <translation>Row %1, &quot;%2&quot;: the value %3 is listed twice.</translation>
    </message>
    <message>
        <source>%1 行目の「%2」: 一覧にできるのは tournament:K の K だけです。</source>
        <translation>Row %1, &quot;%2&quot;: only the K of tournament:K can be a list.</translation>
    </message>
    <message>
        <source>%1 行目の「%2」: 一覧にできるのは creep:S の S だけです。</source>
        <translation>Row %1, &quot;%2&quot;: only the S of creep:S can be a list.</translation>
    </message>
    <message>
        <source>%1 行目と %2 行目</source>
        <translation>rows %1 and %2</translation>
    </message>
    <message>
        <source>同じ構成の行があります: %1</source>
        <translation>Rows with the same configuration: %1</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>トーナメントの大きさ %1 は 2 から %2 (集団サイズ) まででなければなりません。</source>
        <translation>The tournament size %1 must be 2 to %2 (the population size).</translation>
    </message>
    <message>
        <source>エリート数 %1 は 0 から %2 (集団サイズ − 1) まででなければなりません。</source>
        <translation>The elite count %1 must be 0 to %2 (the population size less one).</translation>
    </message>
    <message>
        <source>creep の幅 %1 は 1 から %2 まででなければなりません。</source>
        <translation>The creep step %1 must be 1 to %2.</translation>
    </message>
    <message>
        <source>突然変異の確率</source>
        <translation>Mutation probability</translation>
    </message>
    <message>
        <source>集団・世代・交差率・突然変異の確率・エリート、選択の tournament:K、変異の creep:S は、1 つのセルに限りカンマ区切りの値の一覧にできます (例 0.2,0.5,0.8)。値ごとに 1 構成になります。</source>
        <translation>Population, generations, crossover, mutation probability, elitism, the K of tournament:K and the S of creep:S may hold a comma list in one cell of a row (e.g. 0.2,0.5,0.8): one configuration per value.</translation>
    </message>
    <message>
        <source>%1 行目の「%2」: 値の一覧は 集団・世代・交差率・突然変異の確率・選択 (tournament:K)・エリート・変異 (creep:S) にだけ書けます。</source>
        <translation>Row %1, &quot;%2&quot;: a list of values is taken only by population, generations, crossover, mutation probability, selection (tournament:K), elitism and mutation operator (creep:S).</translation>
    </message>
</context>
<context>
    <name>kelvora::ui::DiversityChart</name>
    <message>
        <source>異なる遺伝子型 / N</source>
        <translation>distinct genotypes / N</translation>
    </message>
    <message>
        <source>ハミング距離 / 24</source>
        <translation>Hamming distance / 24</translation>
    </message>
    <message>
        <source>ビットのエントロピー</source>
        <translation>bit entropy</translation>
    </message>
    <message>
        <source>最良と同じ個体の割合</source>
        <translation>share equal to the best</translation>
    </message>
    <message>
        <source>世代</source>
        <translation>Generation</translation>
    </message>
    <message>
        <source>第 %1 世代: 集団は多様性を失っています。どの個体もビットの %2% を共有しています。</source>
        <translation>Generation %1: the population has lost its diversity: every individual shares %2% of its bits.</translation>
    </message>
    <message>
        <source>第 %1 世代: 集団の %2% が最良の個体と同じ遺伝子型です。収束が進んでいます。</source>
        <translation>Generation %1: %2% of the population has the best individual&apos;s genotype: it is converging.</translation>
    </message>
    <message>
        <source>第 %1 世代: 集団はまだ多様です。2 個体のビットは平均 %2% 異なります。</source>
        <translation>Generation %1: the population is still diverse: two individuals differ in %2% of their bits on average.</translation>
    </message>
    <message>
        <source>多様性: まだ測っていません</source>
        <translation>Diversity: not measured yet</translation>
    </message>
    <message>
        <source>0〜1 に正規化</source>
        <translation>normalised, 0..1</translation>
    </message>
</context>
<context>
    <name>kelvora::ui::EvolutionWindow</name>
    <message>
        <source>Kelvora — 進化</source>
        <translation>Kelvora — Evolution</translation>
    </message>
    <message>
        <source>ファイル(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>PNG として保存(&amp;P)...</source>
        <translation>Save as &amp;PNG...</translation>
    </message>
    <message>
        <source>SVG として保存(&amp;S)...</source>
        <translation>Save as &amp;SVG...</translation>
    </message>
    <message>
        <source>閉じる(&amp;C)</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>表示(&amp;V)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>最適解: (%1, %2, %3)  誤差 %4 px</source>
        <translation>Optimum: (%1, %2, %3)  error %4 px</translation>
    </message>
    <message>
        <source>最適解: 探索中...</source>
        <translation>Optimum: searching...</translation>
    </message>
    <message>
        <source>  (最適解との差 %1 px)</source>
        <translation>  (%1 px more than the optimum)</translation>
    </message>
    <message>
        <source>最適解に到達: 第 %1 世代</source>
        <translation>Optimum reached: generation %1</translation>
    </message>
    <message>
        <source>最適解にはまだ到達していません</source>
        <translation>Optimum not reached yet</translation>
    </message>
    <message>
        <source>最適解には到達しませんでした</source>
        <translation>Optimum not reached</translation>
    </message>
    <message>
        <source>グラフを &quot;%1&quot; に保存できませんでした。</source>
        <translation>The graph could not be saved to &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>SVG として保存</source>
        <translation>Save as SVG</translation>
    </message>
    <message>
        <source>PNG として保存</source>
        <translation>Save as PNG</translation>
    </message>
    <message>
        <source>SVG 画像 (*.svg)</source>
        <translation>SVG images (*.svg)</translation>
    </message>
    <message>
        <source>PNG 画像 (*.png)</source>
        <translation>PNG images (*.png)</translation>
    </message>
    <message>
        <source>これまでの最良解の誤差 (px, 対数軸)</source>
        <translation>Best-so-far error (px, log axis)</translation>
    </message>
    <message>
        <source>PNG として保存 (2倍)(&amp;2)...</source>
        <translation>Save as PNG at &amp;2×...</translation>
    </message>
    <message>
        <source>これまでの最良解の誤差を対数軸で表示(&amp;D)</source>
        <translation>Best-so-far Error on a &amp;Log Axis</translation>
    </message>
    <message>
        <source>目標点 (%1, %2)、%3 世代</source>
        <translation>Target (%1, %2), %3 generations</translation>
    </message>
    <message>
        <source>これまでの最良解: まだありません</source>
        <translation>Best so far: none yet</translation>
    </message>
    <message>
        <source>これまでの最良解: 誤差 %1 px</source>
        <translation>Best so far: error %1 px</translation>
    </message>
    <message>
        <source>  (最適解に到達)</source>
        <translation>  (reached the optimum)</translation>
    </message>
    <message>
        <source>比較をクリア</source>
        <translation>Clear comparison</translation>
    </message>
    <message>
        <source>%1 × %2, %3, %4, %5</source>
        <translation>%1 × %2, %3, %4, %5</translation>
    </message>
    <message>
        <source>異なる遺伝子型の割合、2 個体のビットが異なる割合の平均 (ハミング距離 / 24)、各ビット位置のエントロピーの平均、最良の個体と同じ遺伝子型の割合。どれも 0 に近づくほど集団は一様です (最良と同じ割合は 1 に近づきます)。</source>
        <translation>The share of distinct genotypes, the mean share of bits in which two individuals differ (Hamming distance / 24), the mean entropy of the bit positions, and the share of individuals with the best one&apos;s genotype. The nearer the first three come to 0 (and the last to 1), the more alike the population is.</translation>
    </message>
    <message>
        <source>集団の多様性を表示(&amp;I)</source>
        <translation>Show population d&amp;iversity</translation>
    </message>
    <message>
        <source>%1、%2/%3 世代</source>
        <translation>%1, %2/%3 generations</translation>
    </message>
    <message>
        <source>多様性を計算しています...</source>
        <translation>Measuring the diversity...</translation>
    </message>
    <message>
        <source>第 %1 世代までの最良解: 誤差 %2 px</source>
        <translation>Best up to generation %1: error %2 px</translation>
    </message>
</context>
<context>
    <name>kelvora::ui::ExperimentPlots</name>
    <message>
        <source>到達までの世代</source>
        <translation>Run length</translation>
    </message>
    <message>
        <source>最終誤差</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>収束</source>
        <translation>Convergence</translation>
    </message>
    <message>
        <source>評価回数</source>
        <translation>Evaluations</translation>
    </message>
    <message>
        <source>世代</source>
        <translation>Generations</translation>
    </message>
    <message>
        <source>割合</source>
        <translation>Fraction</translation>
    </message>
    <message>
        <source>エリート解の誤差</source>
        <translation>Elite error</translation>
    </message>
    <message>
        <source>最適解の誤差</source>
        <translation>Optimum error</translation>
    </message>
    <message>
        <source>誤差 (px)</source>
        <translation>Error (px)</translation>
    </message>
    <message>
        <source>%1 (%2/%3 回)</source>
        <translation>%1 (%2 of %3 runs)</translation>
    </message>
    <message>
        <source>最適解に到達した実行の割合</source>
        <translation>Runs that reached the optimum</translation>
    </message>
    <message>
        <source>誤差 ε 以内に到達した実行の割合</source>
        <translation>Runs that came within ε</translation>
    </message>
    <message>
        <source>誤差 %1 px 以内に到達した実行の割合</source>
        <translation>Runs that came within %1 px</translation>
    </message>
    <message>
        <source>帯は 95% 信頼区間 (Wilson)</source>
        <translation>Bands: 95% intervals (Wilson)</translation>
    </message>
    <message>
        <source>最終エリート解の誤差 (px)</source>
        <translation>Final elite error (px)</translation>
    </message>
    <message>
        <source>ε = %1 px</source>
        <translation>ε = %1 px</translation>
    </message>
    <message>
        <source>これまでの最良の誤差: 中央値と四分位範囲 (px)</source>
        <translation>Best-so-far error: median and interquartile range (px)</translation>
    </message>
    <message>
        <source>スイープのファイルには世代ごとの曲線がありません。曲線を見るには「実行」してください。</source>
        <translation>A sweep file holds no per-generation curves. Press Run to see them.</translation>
    </message>
</context>
<context>
    <name>kelvora::ui::ExperimentWindow</name>
    <message>
        <source>Kelvora — 実験</source>
        <translation>Kelvora — Experiment</translation>
    </message>
    <message>
        <source>世代</source>
        <translation>Generations</translation>
    </message>
    <message>
        <source>シード</source>
        <translation>Seeds</translation>
    </message>
    <message>
        <source>目標点</source>
        <translation>Targets</translation>
    </message>
    <message>
        <source>ε (px)</source>
        <translation>ε (px)</translation>
    </message>
    <message>
        <source>実行</source>
        <translation>Run</translation>
    </message>
    <message>
        <source>中止</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>構成</source>
        <translation>Configuration</translation>
    </message>
    <message>
        <source>実行数</source>
        <translation>Runs</translation>
    </message>
    <message>
        <source>ε 以内 [95%]</source>
        <translation>Within ε [95%]</translation>
    </message>
    <message>
        <source>最適解 [95%]</source>
        <translation>Optimum [95%]</translation>
    </message>
    <message>
        <source>評価回数</source>
        <translation>Evaluations</translation>
    </message>
    <message>
        <source>対数軸</source>
        <translation>Log axis</translation>
    </message>
    <message>
        <source>誤差 ε 以内</source>
        <translation>Within ε</translation>
    </message>
    <message>
        <source>最適解</source>
        <translation>Optimum</translation>
    </message>
    <message>
        <source>横軸</source>
        <translation>X axis</translation>
    </message>
    <message>
        <source>到達の基準</source>
        <translation>Target</translation>
    </message>
    <message>
        <source>ファイル(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>実行結果を CSV で保存(&amp;R)...</source>
        <translation>Save &amp;Runs as CSV...</translation>
    </message>
    <message>
        <source>実行結果を CSV で保存</source>
        <translation>Save Runs as CSV</translation>
    </message>
    <message>
        <source>集計を CSV で保存(&amp;U)...</source>
        <translation>Save S&amp;ummary as CSV...</translation>
    </message>
    <message>
        <source>集計を CSV で保存</source>
        <translation>Save Summary as CSV</translation>
    </message>
    <message>
        <source>グラフを PNG として保存(&amp;P)...</source>
        <translation>Save Chart as &amp;PNG...</translation>
    </message>
    <message>
        <source>グラフを SVG として保存(&amp;S)...</source>
        <translation>Save Chart as &amp;SVG...</translation>
    </message>
    <message>
        <source>レポートを書き出す(&amp;H)...</source>
        <translation>Export Report as &amp;HTML...</translation>
    </message>
    <message>
        <source>レポートを書き出す</source>
        <translation>Export Report</translation>
    </message>
    <message>
        <source>HTML ファイル (*.html)</source>
        <translation>HTML files (*.html)</translation>
    </message>
    <message>
        <source>レポートを書き出せません: %1</source>
        <translation>The report cannot be exported: %1</translation>
    </message>
    <message>
        <source>スイープの実行中です。終わってから書き出してください。</source>
        <translation>A sweep is running. Export the report once it has finished.</translation>
    </message>
    <message>
        <source>レポートは 2 つ以上の構成の結果を比べます。構成を加えて「実行」してください。</source>
        <translation>A report compares the results of two or more configurations. Add a configuration and press Run.</translation>
    </message>
    <message>
        <source>表示中の結果は、いまの表、シード、目標点、ε のものではありません。「実行」してから書き出してください。</source>
        <translation>The results shown are not those of the table, seeds, targets and ε as they are now. Press Run, then export.</translation>
    </message>
    <message>
        <source>閉じる(&amp;C)</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>構成は %1 個までです。</source>
        <translation>At most %1 configurations.</translation>
    </message>
    <message>
        <source>構成がありません。「追加」で加えてください。</source>
        <translation>There is no configuration. Add one with &quot;Add&quot;.</translation>
    </message>
    <message>
        <source>目標点を入力してください。</source>
        <translation>Enter a target.</translation>
    </message>
    <message>
        <source>中止しました</source>
        <translation>Cancelled</translation>
    </message>
    <message>
        <source>残り時間: 計算中</source>
        <translation>Time left: estimating</translation>
    </message>
    <message>
        <source>残り %1 秒</source>
        <translation>%1 s left</translation>
    </message>
    <message>
        <source>CSV ファイル (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>&quot;%1&quot; に保存できませんでした。</source>
        <translation>Could not save to &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>SVG として保存</source>
        <translation>Save as SVG</translation>
    </message>
    <message>
        <source>PNG として保存</source>
        <translation>Save as PNG</translation>
    </message>
    <message>
        <source>SVG 画像 (*.svg)</source>
        <translation>SVG images (*.svg)</translation>
    </message>
    <message>
        <source>PNG 画像 (*.png)</source>
        <translation>PNG images (*.png)</translation>
    </message>
    <message>
        <source>グラフを &quot;%1&quot; に保存できませんでした。</source>
        <translation>The graph could not be saved to &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>スイープの CSV を開く(&amp;O)...</source>
        <translation>&amp;Open Sweep CSV...</translation>
    </message>
    <message>
        <source>スイープの CSV を開く</source>
        <translation>Open Sweep CSV</translation>
    </message>
    <message>
        <source>CSV ファイル (*.csv);;すべてのファイル (*)</source>
        <translation>CSV files (*.csv);;All files (*)</translation>
    </message>
    <message>
        <source>スイープの CSV を読めません: %1</source>
        <translation>Cannot read the sweep CSV: %1</translation>
    </message>
    <message>
        <source>シード %1 が 2 回あります。</source>
        <translation>Seed %1 is listed twice.</translation>
    </message>
    <message>
        <source>目標点 %1 が 2 回あります。</source>
        <translation>Target %1 is listed twice.</translation>
    </message>
    <message>
        <source>シードが %1 個あります: %2 個までです。</source>
        <translation>%1 seeds are given: at most %2 are taken.</translation>
    </message>
    <message>
        <source>統計</source>
        <translation>Statistics</translation>
    </message>
    <message>
        <source>応答</source>
        <translation>Response</translation>
    </message>
    <message>
        <source>統計を CSV で保存(&amp;T)...</source>
        <translation>Save S&amp;tatistics as CSV...</translation>
    </message>
    <message>
        <source>統計を CSV で保存</source>
        <translation>Save the statistics as CSV</translation>
    </message>
    <message>
        <source>ε: 0 より大きく 1000 以下の数値を入力してください。</source>
        <translation>ε: enter a number above 0 and at most 1000.</translation>
    </message>
    <message>
        <source>保存せずに閉じる</source>
        <translation>Close without saving</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>x,y の組を空白で区切って複数指定できます。random:K で到達範囲内の目標点を K 個引きます</source>
        <translation>Several targets: x,y pairs separated by spaces; random:K draws K targets within reach</translation>
    </message>
    <message>
        <source>実験ウィンドウで実行中のスイープがあります。中止して閉じますか？</source>
        <translation>The experiment window is running a sweep. Stop it and close?</translation>
    </message>
    <message>
        <source>実験ウィンドウに保存していない実行結果があります。保存せずに閉じますか？</source>
        <translation>The experiment window holds runs that have not been saved. Close without saving?</translation>
    </message>
    <message>
        <source>%1 行目と %2 行目</source>
        <translation>rows %1 and %2</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>同じ構成の行があります: %1。どちらかを変えるか削除してください。</source>
        <translation>Rows with the same configuration: %1. Change or remove one of them.</translation>
    </message>
    <message>
        <source>値の一覧を展開すると構成が %1 個になります: %2 個までです。</source>
        <translation>The lists of values make %1 configurations: at most %2.</translation>
    </message>
    <message>
        <source>各構成 %1 回 (中止)</source>
        <translation>%1 runs each (stopped)</translation>
    </message>
    <message>
        <source>各構成 %1 回</source>
        <translation>%1 runs each</translation>
    </message>
    <message>
        <source>構成ごとの実行数は「実行数」の列のとおりです</source>
        <translation>Runs per configuration: see the &quot;Runs&quot; column</translation>
    </message>
    <message>
        <source>ERT</source>
        <translation>ERT</translation>
    </message>
    <message>
        <source>誤差の中央値</source>
        <translation>Median error</translation>
    </message>
    <message>
        <source>p (対基準)</source>
        <translation>p (vs. baseline)</translation>
    </message>
    <message>
        <source>ε までの世代 (中央値)</source>
        <translation>Generations to ε (median)</translation>
    </message>
    <message>
        <source>誤差 ε 以内に到達した実行の割合と 95% 信頼区間 (Wilson)</source>
        <translation>Runs that came within ε, with the 95% interval (Wilson)</translation>
    </message>
    <message>
        <source>期待実行時間: ε 以内に到達するまでの評価回数の期待値</source>
        <translation>Expected running time: the expected evaluations until a run comes within ε</translation>
    </message>
    <message>
        <source>最終エリート解の誤差の中央値 (px)</source>
        <translation>Median final elite error (px)</translation>
    </message>
    <message>
        <source>ε 以内の成功数の、統計タブの基準に対する Fisher の正確検定 (Holm 補正)</source>
        <translation>Fisher&apos;s exact test of the successes within ε against the Statistics tab&apos;s baseline (Holm-adjusted)</translation>
    </message>
    <message>
        <source>ε 以内に到達した実行の、到達した世代の中央値 (到達した実行数/全実行数)</source>
        <translation>Median generation at which runs came within ε (runs that came there of all runs)</translation>
    </message>
    <message>
        <source>ラベルのファイルを読めません (ラベルは自動でつけます): %1</source>
        <translation>Cannot read the labels file (the labels are made automatically): %1</translation>
    </message>
    <message>
        <source>中央値 %1、四分位 %2–%3 (ε 以内に到達した %4 回の実行)</source>
        <translation>Median %1, quartiles %2–%3 (over the %4 runs that came within ε)</translation>
    </message>
    <message>
        <source>ラベルを &quot;%1&quot; に保存できませんでした。</source>
        <translation>The labels could not be saved to &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>「追加」で主画面の設定を行に加え、「実行」を押してください。</source>
        <translation>Press &quot;Add&quot; to put the main window&apos;s settings in a row, then press &quot;Run&quot;.</translation>
    </message>
    <message>
        <source>このファイルには構成が %1 個あります。表には %2 個までしか入らないため、表はそのままです。</source>
        <translation>This file holds %1 configurations; the table takes at most %2, so it is left as it was.</translation>
    </message>
    <message>
        <source>このファイルには ε の記録がありません。0.5 とみなしました。</source>
        <translation>This file does not record its ε; 0.5 is assumed.</translation>
    </message>
    <message>
        <source>表示中の結果は変更前の表のものです。「実行」で更新します。</source>
        <translation>The results shown belong to the previous table. Run refreshes them.</translation>
    </message>
    <message>
        <source>スイープの CSV を読んでいます: %1</source>
        <translation>Reading the sweep CSV: %1</translation>
    </message>
    <message>
        <source>実験ファイル (*.kelvora.json);;すべてのファイル (*)</source>
        <translation>Experiment files (*.kelvora.json);;All files (*)</translation>
    </message>
    <message>
        <source>実験を開く(&amp;E)...</source>
        <translation>Open &amp;Experiment...</translation>
    </message>
    <message>
        <source>実験を開く</source>
        <translation>Open Experiment</translation>
    </message>
    <message>
        <source>実験を保存(&amp;X)...</source>
        <translation>Save E&amp;xperiment...</translation>
    </message>
    <message>
        <source>実験を保存</source>
        <translation>Save Experiment</translation>
    </message>
    <message>
        <source>空です</source>
        <translation>it is empty</translation>
    </message>
    <message>
        <source>空の項目があります (%1)</source>
        <translation>an empty item (%1)</translation>
    </message>
    <message>
        <source>%1 は 0 から 4294967295 までのシードか範囲 A..B ではありません</source>
        <translation>%1 is no seed from 0 to 4294967295 nor range A..B</translation>
    </message>
    <message>
        <source>範囲 %1 にシードがありません</source>
        <translation>the range %1 holds no seed</translation>
    </message>
    <message>
        <source>シード %1 が 2 回あります</source>
        <translation>seed %1 is listed twice</translation>
    </message>
    <message>
        <source>シードが %1 個あります: %2 個までです</source>
        <translation>%1 seeds are given: at most %2 are taken</translation>
    </message>
    <message>
        <source>%1 は -199 から 199 までの整数の組 x,y ではありません</source>
        <translation>%1 is no pair x,y of whole numbers from -199 to 199</translation>
    </message>
    <message>
        <source>目標点 %1 が 2 回あります</source>
        <translation>target %1 is listed twice</translation>
    </message>
    <message>
        <source>%1 は K が 1 から %2 までの random:K ではありません</source>
        <translation>%1 is no random:K with K from 1 to %2</translation>
    </message>
    <message>
        <source>random:K は 1 つだけ書けます (%1)</source>
        <translation>random:K may be given only once (%1)</translation>
    </message>
    <message>
        <source>引いた目標点 %1 が、書かれた目標点にもあります</source>
        <translation>the drawn target %1 is also among the targets given</translation>
    </message>
    <message>
        <source>読めません (%1)</source>
        <translation>cannot be read (%1)</translation>
    </message>
    <message>
        <source>JSON ではありません (%1)</source>
        <translation>not JSON (%1)</translation>
    </message>
    <message>
        <source>実験ファイルではありません (&quot;format&quot;: &quot;%1&quot; がありません)</source>
        <translation>not an experiment file (no &quot;format&quot;: &quot;%1&quot;)</translation>
    </message>
    <message>
        <source>版 %1 は読めません (読めるのは %2 です)</source>
        <translation>version %1 cannot be read (only %2 can)</translation>
    </message>
    <message>
        <source>%1: 知らないキーです</source>
        <translation>%1: unknown key</translation>
    </message>
    <message>
        <source>%1: このキーが要ります</source>
        <translation>%1: this key is required</translation>
    </message>
    <message>
        <source>%1: %2 ではなく %3 を書いてください</source>
        <translation>%1: %2 is not %3</translation>
    </message>
    <message>
        <source>%1: %2 が範囲 %3 の外です</source>
        <translation>%1: %2 is outside %3</translation>
    </message>
    <message>
        <source>%1: %2 は使えません (%3)</source>
        <translation>%1: %2 cannot be used (%3)</translation>
    </message>
    <message>
        <source>%1: 解けるのはリンク 60, 100, 40 の腕だけです (%2)</source>
        <translation>%1: only the arm of links 60, 100, 40 is solved (%2)</translation>
    </message>
    <message>
        <source>%1: %2 と同じ構成です</source>
        <translation>%1: the same configuration as %2</translation>
    </message>
    <message>
        <source>%1: ラベル %2 が 2 回あります</source>
        <translation>%1: the label %2 is given twice</translation>
    </message>
    <message>
        <source>%1: 基準 %2 はどの構成のラベルでもありません</source>
        <translation>%1: the baseline %2 is no configuration&apos;s label</translation>
    </message>
    <message>
        <source>実験ファイル &quot;%1&quot; を読めません: %2</source>
        <translation>Cannot read the experiment file &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <source>実験ファイル &quot;%1&quot; の構成は %2 行になります: 表は %3 行までです。</source>
        <translation>The experiment file &quot;%1&quot; makes %2 rows: the table takes at most %3.</translation>
    </message>
    <message>
        <source>シード: %1</source>
        <translation>Seeds: %1</translation>
    </message>
    <message>
        <source>目標点: %1</source>
        <translation>Targets: %1</translation>
    </message>
    <message>
        <source>実験を保存できません: %1</source>
        <translation>Cannot save the experiment: %1</translation>
    </message>
</context>
<context>
    <name>kelvora::ui::FitnessChart</name>
    <message>
        <source>最良の適応度</source>
        <translation>Best fitness</translation>
    </message>
    <message>
        <source>平均の適応度</source>
        <translation>Average fitness</translation>
    </message>
    <message>
        <source>最適解</source>
        <translation>Optimum</translation>
    </message>
    <message>
        <source>世代</source>
        <translation>Generation</translation>
    </message>
    <message>
        <source>適応度</source>
        <translation>Fitness</translation>
    </message>
    <message>
        <source>これまでの最良解の誤差 (px)</source>
        <translation>Best-so-far error (px)</translation>
    </message>
    <message>
        <source>%1、目標 %2</source>
        <translation>%1, target %2</translation>
    </message>
    <message>
        <source>最良の適応度: %1</source>
        <translation>Best fitness: %1</translation>
    </message>
    <message>
        <source>これまでの最良解の誤差 (px): %1</source>
        <translation>Best error so far (px): %1</translation>
    </message>
</context>
<context>
    <name>kelvora::ui::GroundTruthOverlay</name>
    <message>
        <source>到達できない領域を表示</source>
        <translation>Show Unreachable Region</translation>
    </message>
    <message>
        <source>最適解を表示</source>
        <translation>Show Optimum</translation>
    </message>
    <message>
        <source>最適解 (%1, %2, %3): 目標点まで %4 px</source>
        <translation>Optimum (%1, %2, %3): %4 px from the target</translation>
    </message>
    <message>
        <source>これまでの最良解: 目標点まで %1 px、最適解に到達</source>
        <translation>Best so far: %1 px from the target, reached the optimum</translation>
    </message>
    <message>
        <source>これまでの最良解: 目標点まで %1 px、最適解との差 %2 px</source>
        <translation>Best so far: %1 px from the target, %2 px more than the optimum</translation>
    </message>
    <message>
        <source>目標点に届く腕をすべて表示</source>
        <translation>Show Every Arm That Reaches the Target</translation>
    </message>
    <message>
        <source>目標点から %1 px 以内に先端が届く腕をすべて薄い緑で描きます。
関節が三つで目標点の座標は二つなので、届く腕は一本ではなく一続きの族になります。</source>
        <translation>Draws every arm whose tip comes within %1 px of the target, in faint green.
Three joints for two coordinates: the arms that reach the target are not one but a whole family.</translation>
    </message>
</context>
<context>
    <name>kelvora::ui::HelpWindow</name>
    <message>
        <source>Kelvora — ヘルプ</source>
        <translation>Kelvora — Help</translation>
    </message>
    <message>
        <source>ja</source>
        <extracomment>The folder of the help pages in this language: &quot;ja&quot; or &quot;en&quot;.</extracomment>
        <translation>en</translation>
    </message>
</context>
<context>
    <name>kelvora::ui::LandscapeWindow</name>
    <message>
        <source>Kelvora — 地形</source>
        <translation>Kelvora — Landscape</translation>
    </message>
    <message>
        <source>目標 (%1, %2) の適応度地形: 256³ 通りの姿勢すべて, ε = 0.5 px</source>
        <translation>The fitness landscape of the target (%1, %2): all 256³ poses, ε = 0.5 px</translation>
    </message>
    <message>
        <source>近傍</source>
        <translation>Neighbourhood</translation>
    </message>
    <message>
        <source>ε 以内に登る開始点</source>
        <translation>Starts that climb to within ε</translation>
    </message>
    <message>
        <source>FDC</source>
        <translation>FDC</translation>
    </message>
    <message>
        <source> (使用中)</source>
        <translation> (in use)</translation>
    </message>
    <message>
        <source>断面: 角度 1 = %1° (横: 角度 2, 縦: 角度 3, 色: 目標までの距離, 対数目盛)</source>
        <translation>Slice: angle 1 = %1° (across: angle 2, up: angle 3, colour: distance to the target, log scale)</translation>
    </message>
    <message>
        <source>計算中: %v / %m 段階</source>
        <translation>Computing: stage %v of %m</translation>
    </message>
    <message>
        <source>描く個体: 角度 1 が断面の ±</source>
        <translation>Individuals drawn: angle 1 within ±</translation>
    </message>
    <message>
        <source>°</source>
        <translation>°</translation>
    </message>
    <message>
        <source>吸引域の境界</source>
        <translation>Basin outlines</translation>
    </message>
    <message>
        <source>各マスは角度 1 を固定した 1 つの姿勢で, 明るいほど先端が目標に近く, 灰色の線は最急上昇で登り着く局所最適が変わる境目です。</source>
        <translation>Each cell is one pose at the fixed angle 1, lighter where its tip is nearer the target; grey lines mark where steepest ascent starts to climb to another local optimum.</translation>
    </message>
    <message>
        <source>グレイ符号化はここで %1 個の行き止まりを %2 個に減らします: 隣り合う角度は 1 ビットしか違いません。赤: 局所最適, 緑の枠: 最適解, 白い点 (黒い縁): 表示中の世代の個体。</source>
        <translation>Gray encoding cuts the %1 dead ends here to %2: neighbouring angles differ in one bit only. Red: local optima, green ring: the optimum, white dots (black rims): individuals of the shown generation.</translation>
    </message>
    <message>
        <source>表示中の世代は別の目標の実行のものなので, その集団は描きません。</source>
        <translation>The shown generation belongs to a run on another target, so its population is not drawn.</translation>
    </message>
    <message>
        <source>実行するか結果を開くと, 表示中の世代の集団がここに白い点で描かれます。</source>
        <translation>Run or open results, and the shown generation&apos;s population is drawn here as white dots.</translation>
    </message>
    <message>
        <source>白い点: 世代 %1 の %2 個体のうち, 角度 1 が %3° ± %4° の %5 個体 (ほかの %6 個体は省略)。</source>
        <translation>White dots: of the %2 individuals of generation %1, the %5 whose angle 1 is %3° ± %4° (the other %6 are left out).</translation>
    </message>
    <message>
        <source>姿勢 (%1, %2, %3) は局所最適 (%4, %5, %6) に登ります: 距離 %7 px, 吸引域は全体で %8 姿勢 (%9%), この断面に %10 マス。</source>
        <translation>Pose (%1, %2, %3) climbs to the local optimum (%4, %5, %6): distance %7 px; its basin holds %8 poses in all (%9%), %10 cells in this slice.</translation>
    </message>
    <message>
        <source>マスの上にポインタを置くと, その姿勢の吸引域が明るく残ります。</source>
        <translation>Hover over a cell: its pose&apos;s basin stays lit and the rest dims.</translation>
    </message>
    <message>
        <source>目標ごとの地形マップ (主画面のプロットに重ねる)</source>
        <translation>Landscape map across targets (over the main window&apos;s plot)</translation>
    </message>
    <message>
        <source>landscape-map の CSV を開く...</source>
        <translation>Open a landscape-map CSV...</translation>
    </message>
    <message>
        <source>粗いマップを計算 (%1 px 間隔)</source>
        <translation>Compute a coarse map (every %1 px)</translation>
    </message>
    <message>
        <source>主画面に重ねる</source>
        <translation>Show over the main plot</translation>
    </message>
    <message>
        <source>各目標について, 256³ の開始点のうち最急上昇で目標の ε 以内に登る割合を, 黒 (なし) から青 (10⁻⁶) を経て黄 (すべて) までの対数目盛で主画面のプロットに重ねます。</source>
        <translation>For each target, the share of the 256³ starts whose steepest ascent climbs to within ε of it, shown over the main plot on a log scale from black (none) through blue (10⁻⁶) to yellow (all).</translation>
    </message>
    <message>
        <source>landscape-map の CSV を開く</source>
        <translation>Open a landscape-map CSV</translation>
    </message>
    <message>
        <source>CSV ファイル (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>地形マップを読めませんでした: %1</source>
        <translation>The landscape map could not be read: %1</translation>
    </message>
    <message>
        <source>計算した %1 個の目標 (%2 px 間隔, %3)</source>
        <translation>%1 computed targets (every %2 px, %3)</translation>
    </message>
    <message>
        <source>%1 の %2 個の目標 (%3 px 間隔)</source>
        <translation>%2 targets of %1 (every %3 px)</translation>
    </message>
    <message>
        <source>: 各目標について, 256³ の開始点のうち最急上昇で目標の ε 以内に登る割合を, 黒 (なし) から青 (10⁻⁶) を経て黄 (すべて) までの対数目盛で主画面のプロットに重ねます。</source>
        <translation>: for each target, the share of the 256³ starts whose steepest ascent climbs to within ε of it, shown over the main plot on a log scale from black (none) through blue (10⁻⁶) to yellow (all).</translation>
    </message>
    <message>
        <source>局所最適の数</source>
        <translation>Local optima</translation>
    </message>
    <message>
        <source>うち ε 以内</source>
        <translation>Of them within ε</translation>
    </message>
    <message>
        <source>最適解に登る開始点</source>
        <translation>Starts that climb to the optimum</translation>
    </message>
    <message>
        <source>突然変異の一歩で動ける姿勢: 2進とグレイは 1 ビットの反転、クリープは ±幅 度</source>
        <translation>The poses one mutation reaches: a flip of one bit for binary and Gray, ±step degrees for creep</translation>
    </message>
    <message>
        <source>局所最適 (どの近傍も目標点に近くない姿勢) の数</source>
        <translation>The count of local optima (poses no neighbour of which is nearer the target)</translation>
    </message>
    <message>
        <source>局所最適のうち、先端が目標点から ε 以内にあるものの数 (ε 以内の姿勢の数ではありません)</source>
        <translation>Of the local optima, the count whose tip lies within ε of the target (not the count of poses within ε)</translation>
    </message>
    <message>
        <source>256³ 通りの開始点のうち、最急上昇で最適解に登り着くものの数と割合 (最適解の吸引域)</source>
        <translation>Of the 256³ starts, how many steepest ascent takes to the optimum, and their share (the optimum&apos;s basin)</translation>
    </message>
    <message>
        <source>256³ 通りの開始点のうち、最急上昇で ε 以内の局所最適に登り着くものの数と割合</source>
        <translation>Of the 256³ starts, how many steepest ascent takes to a local optimum within ε, and their share</translation>
    </message>
    <message>
        <source>適応度と、最適解までの遺伝子型の距離との相関 (-1〜1): -1 に近いほど最適解へ素直に登れる地形</source>
        <translation>The correlation of fitness with the genotype distance to the optimum (-1 to 1): the nearer -1, the more plainly the landscape climbs to the optimum</translation>
    </message>
</context>
<context>
    <name>kelvora::ui::MicroscopeWindow</name>
    <message>
        <source>エリート</source>
        <translation>Elite</translation>
    </message>
    <message>
        <source>子</source>
        <translation>Child</translation>
    </message>
    <message>
        <source>ランダム</source>
        <translation>Random</translation>
    </message>
    <message>
        <source>コピー</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>ルーレット: 順位の重み N … 1 による扇</source>
        <translation>Roulette: slices by rank weight N … 1</translation>
    </message>
    <message>
        <source>ルーレット: 適応度に比例する扇</source>
        <translation>Roulette: slices in proportion to fitness</translation>
    </message>
    <message>
        <source>ランダム探索: 選択はありません</source>
        <translation>Random search: there is no selection</translation>
    </message>
    <message>
        <source>トーナメント: 記録されるのは各回の勝者だけで、対戦者は記録されません</source>
        <translation>Tournament: only each draw&apos;s winner is recorded, not its contestants</translation>
    </message>
    <message>
        <source>親 A: %1  適応度 %2</source>
        <translation>Parent A: %1  fitness %2</translation>
    </message>
    <message>
        <source>親 B: %1  適応度 %2</source>
        <translation>Parent B: %1  fitness %2</translation>
    </message>
    <message>
        <source>  扇 %1%</source>
        <translation>  slice %1%</translation>
    </message>
    <message>
        <source>    選ばれた回数 %1</source>
        <translation>    drawn %1 times</translation>
    </message>
    <message>
        <source>同じ親が %1 回続けて選ばれ、選び直されました</source>
        <translation>The same parent was drawn twice %1 times and drawn again</translation>
    </message>
    <message>
        <source>スロット %1 はエリートで、選択を通りません</source>
        <translation>Slot %1 is an elite and is not selected</translation>
    </message>
    <message>
        <source>スロット %1 (%2) は交差でできていません</source>
        <translation>Slot %1 (%2) did not come from a crossover</translation>
    </message>
    <message>
        <source>親 A %1</source>
        <translation>Parent A %1</translation>
    </message>
    <message>
        <source>親 B %1</source>
        <translation>Parent B %1</translation>
    </message>
    <message>
        <source>マスク</source>
        <translation>Mask</translation>
    </message>
    <message>
        <source>子 1 (%1)</source>
        <translation>Child 1 (%1)</translation>
    </message>
    <message>
        <source>子 2 (%1)</source>
        <translation>Child 2 (%1)</translation>
    </message>
    <message>
        <source>子 1 = (A &amp; ~M) | (B &amp; M)、子 2 = (B &amp; ~M) | (A &amp; M)。マスクが 1 のビットを入れ替えます。</source>
        <translation>Child 1 = (A &amp; ~M) | (B &amp; M), child 2 = (B &amp; ~M) | (A &amp; M): the bits where the mask is 1 are exchanged.</translation>
    </message>
    <message>
        <source>変異前</source>
        <translation>Before</translation>
    </message>
    <message>
        <source>変異後</source>
        <translation>After</translation>
    </message>
    <message>
        <source>関節 %1: 角度 %2 → %3 (%4)</source>
        <translation>Joint %1: angle %2 → %3 (%4)</translation>
    </message>
    <message>
        <source>エリートは変異しません</source>
        <translation>Elites do not mutate</translation>
    </message>
    <message>
        <source>どの遺伝子も変異しませんでした</source>
        <translation>No gene mutated</translation>
    </message>
    <message>
        <source>この世代で変異した個体: %1 / %2</source>
        <translation>Individuals mutated in this generation: %1 / %2</translation>
    </message>
    <message>
        <source>エリートなし: 親はだれも次の世代へそのまま残りません</source>
        <translation>No elitism: no parent passes on unchanged</translation>
    </message>
    <message>
        <source>%1 ← 親 %2</source>
        <translation>%1 ← parent %2</translation>
    </message>
    <message>
        <source>適応度 %1</source>
        <translation>Fitness %1</translation>
    </message>
    <message>
        <source>子の最良 %1、平均 %2 (親の最良 %3)</source>
        <translation>Children: best %1, average %2 (parents&apos; best %3)</translation>
    </message>
    <message>
        <source>選択</source>
        <translation>Selection</translation>
    </message>
    <message>
        <source>交差</source>
        <translation>Crossover</translation>
    </message>
    <message>
        <source>突然変異</source>
        <translation>Mutation</translation>
    </message>
    <message>
        <source>評価された子</source>
        <translation>Evaluated children</translation>
    </message>
    <message>
        <source>世代 %1 — %2 — スロット %3 / %4</source>
        <translation>Generation %1 — %2 — slot %3 of %4</translation>
    </message>
    <message>
        <source>世代 %1</source>
        <translation>Generation %1</translation>
    </message>
    <message>
        <source>Kelvora — 世代の顕微鏡</source>
        <translation>Kelvora — Generation microscope</translation>
    </message>
    <message>
        <source>世代:</source>
        <translation>Generation:</translation>
    </message>
    <message>
        <source>評価</source>
        <translation>Evaluation</translation>
    </message>
    <message>
        <source>↑ 前のスロット</source>
        <translation>↑ Previous slot</translation>
    </message>
    <message>
        <source>↓ 次のスロット</source>
        <translation>↓ Next slot</translation>
    </message>
    <message>
        <source>初期個体のうち子孫が残っている数</source>
        <translation>Initial individuals that still have descendants</translation>
    </message>
    <message>
        <source>世代</source>
        <translation>Generation</translation>
    </message>
    <message>
        <source>シード %1、集団 %2、%3 世代</source>
        <translation>Seed %1, population %2, %3 generations</translation>
    </message>
    <message>
        <source>この結果ファイルを記録した run.json がないため、世代を作り直せません</source>
        <translation>No run.json records this results file, so its generations cannot be made again</translation>
    </message>
    <message>
        <source>世代 %1 を作り直しています...</source>
        <translation>Making generation %1 again...</translation>
    </message>
    <message>
        <source>この世代は作り直せませんでした</source>
        <translation>This generation could not be made again</translation>
    </message>
    <message>
        <source>世代 %1 / %2: シード %3 から作り直しました</source>
        <translation>Generation %1 of %2: made again from seed %3</translation>
    </message>
    <message>
        <source>世代を選ぶと、その世代がどうできたかを段階ごとに示します。</source>
        <translation>Choose a generation to see, stage by stage, how it came to be.</translation>
    </message>
    <message>
        <source>エリート (親 %1 をそのまま)</source>
        <translation>Elite (parent %1 unchanged)</translation>
    </message>
    <message>
        <source>子 (親 %1 と %2、マスク %3)</source>
        <translation>Child (parents %1 and %2, mask %3)</translation>
    </message>
    <message>
        <source>ランダム (親なし)</source>
        <translation>Random (no parents)</translation>
    </message>
    <message>
        <source>コピー (親 %1)</source>
        <translation>Copy (parent %1)</translation>
    </message>
    <message>
        <source>スロット %1: %2
遺伝子型 %3  適応度 %4</source>
        <translation>Slot %1: %2
Genotype %3  fitness %4</translation>
    </message>
    <message>
        <source>手法 %1 の実行には親から子を作る世代がないため、作り直せません (ga と random-search のみ)</source>
        <translation>A run of %1 has no generations made from parents and cannot be made again (ga and random-search only)</translation>
    </message>
</context>
<context>
    <name>kelvora::ui::OperatorsView</name>
    <message>
        <source>Kelvora — 遺伝的操作</source>
        <translation>Kelvora — Genetic Operators</translation>
    </message>
    <message>
        <source>2進</source>
        <translation>Binary</translation>
    </message>
    <message>
        <source>グレイ</source>
        <translation>Gray</translation>
    </message>
    <message>
        <source>ルーレット</source>
        <translation>Roulette</translation>
    </message>
    <message>
        <source>トーナメント</source>
        <translation>Tournament</translation>
    </message>
    <message>
        <source>ランキング</source>
        <translation>Rank</translation>
    </message>
    <message>
        <source>一点</source>
        <translation>One-point</translation>
    </message>
    <message>
        <source>二点</source>
        <translation>Two-point</translation>
    </message>
    <message>
        <source>一様</source>
        <translation>Uniform</translation>
    </message>
    <message>
        <source>ビット反転</source>
        <translation>Bit flip</translation>
    </message>
    <message>
        <source>クリープ</source>
        <translation>Creep</translation>
    </message>
    <message>
        <source>符号化</source>
        <translation>Encoding</translation>
    </message>
    <message>
        <source>選択</source>
        <translation>Selection</translation>
    </message>
    <message>
        <source>大きさ</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>エリート数</source>
        <translation>Elite count</translation>
    </message>
    <message>
        <source>交差</source>
        <translation>Crossover</translation>
    </message>
    <message>
        <source>突然変異</source>
        <translation>Mutation</translation>
    </message>
    <message>
        <source>幅</source>
        <translation>Step</translation>
    </message>
    <message>
        <source>標準に戻す</source>
        <translation>Restore Defaults</translation>
    </message>
    <message>
        <source>グレイ符号</source>
        <translation>Gray code</translation>
    </message>
    <message>
        <source>トーナメント選択 (%1)</source>
        <translation>tournament selection (%1)</translation>
    </message>
    <message>
        <source>ランキング選択</source>
        <translation>rank selection</translation>
    </message>
    <message>
        <source>エリート %1</source>
        <translation>elite count %1</translation>
    </message>
    <message>
        <source>二点交差</source>
        <translation>two-point crossover</translation>
    </message>
    <message>
        <source>一様交差</source>
        <translation>uniform crossover</translation>
    </message>
    <message>
        <source>クリープ (±%1)</source>
        <translation>creep (±%1)</translation>
    </message>
    <message>
        <source>遺伝的操作: %1</source>
        <translation>Genetic operators: %1</translation>
    </message>
    <message>
        <source>, </source>
        <translation>, </translation>
    </message>
    <message>
        <source>2進: 遺伝子のバイトがそのまま角度です。127° と 128° のように隣り合う角度が多くのビットで違うことがあります。</source>
        <translation>Binary: the gene byte is the angle. Neighbouring angles can differ in many bits, as 127° and 128° differ in all eight.</translation>
    </message>
    <message>
        <source>グレイ: 隣り合う角度がちょうど 1 ビットだけ違う符号です。1 ビットの反転で隣の角度に移れます。</source>
        <translation>Gray: a code in which neighbouring angles differ in exactly one bit, so one bit flip can move an angle to its neighbour.</translation>
    </message>
    <message>
        <source>ルーレット: 適応度に比例した確率で親を選びます。</source>
        <translation>Roulette: parents are drawn with a probability proportional to their fitness.</translation>
    </message>
    <message>
        <source>トーナメント: 無作為に選んだ「大きさ」個の中で最も良い個体が親になります。大きいほど選択の圧力が強くなります。</source>
        <translation>Tournament: the best of &apos;size&apos; individuals drawn at random becomes a parent. The larger the size, the stronger the selection pressure.</translation>
    </message>
    <message>
        <source>ランキング: 順位に比例した重みで選びます (最良が N、最下位が 1)。どれだけ良いかではなく順位だけが効きます。</source>
        <translation>Rank: parents are drawn with weights by rank (N for the best, 1 for the worst). Only the order counts, not how much better one is.</translation>
    </message>
    <message>
        <source>一点: 24 ビット列の 1 か所で切り、下位のビットを交換します。</source>
        <translation>One-point: the 24-bit strings are cut at one place and the lower bits exchanged.</translation>
    </message>
    <message>
        <source>二点: 2 か所の切れ目の間のビットを交換します。</source>
        <translation>Two-point: the bits between two cuts are exchanged.</translation>
    </message>
    <message>
        <source>一様: ビットごとに無作為に交換するかどうかを決めます。</source>
        <translation>Uniform: each bit is exchanged or not at random.</translation>
    </message>
    <message>
        <source>ビット反転: 遺伝子の無作為な 1 ビットを反転します (2進では角度が 1〜128 度変わります)。</source>
        <translation>Bit flip: one random bit of the gene is flipped (in binary the angle changes by 1 to 128 degrees).</translation>
    </message>
    <message>
        <source>クリープ: 角度を -幅〜+幅 度の無作為な歩幅で動かします (0 と 255 で止まります)。</source>
        <translation>Creep: the angle moves by a random step of -step to +step degrees (stopping at 0 and 255).</translation>
    </message>
    <message>
        <source>トーナメントで比べる個体の数 (2〜集団サイズ)</source>
        <translation>How many individuals a tournament compares (2 to the population size)</translation>
    </message>
    <message>
        <source>各世代の上位この数の個体は、変わらずに次の世代へ進みます (0: エリートなし)。</source>
        <translation>This many of each generation&apos;s best pass unchanged into the next (0: no elites).</translation>
    </message>
    <message>
        <source>ランダム探索 (遺伝的操作なし)</source>
        <translation>Random search (no genetic operators)</translation>
    </message>
    <message>
        <source>クリープで角度が一度に動く最大の度数 (1〜128)</source>
        <translation>The largest step in degrees a creep moves an angle by (1 to 128)</translation>
    </message>
    <message>
        <source>遺伝的アルゴリズム</source>
        <translation>genetic algorithm</translation>
    </message>
    <message>
        <source>ランダム探索</source>
        <translation>random search</translation>
    </message>
    <message>
        <source>循環座標降下法 (CCD)</source>
        <translation>cyclic coordinate descent (CCD)</translation>
    </message>
    <message>
        <source>FABRIK</source>
        <translation>FABRIK</translation>
    </message>
    <message>
        <source>ヤコビ行列の転置法</source>
        <translation>Jacobian transpose</translation>
    </message>
    <message>
        <source>減衰最小二乗法 (DLS)</source>
        <translation>damped least squares (DLS)</translation>
    </message>
    <message>
        <source>差分進化 (DE)</source>
        <translation>differential evolution (DE)</translation>
    </message>
    <message>
        <source>粒子群最適化 (PSO)</source>
        <translation>particle swarm (PSO)</translation>
    </message>
    <message>
        <source>CMA-ES</source>
        <translation>CMA-ES</translation>
    </message>
    <message>
        <source>焼きなまし法</source>
        <translation>simulated annealing</translation>
    </message>
    <message>
        <source>(1+1) 進化的アルゴリズム</source>
        <translation>(1+1) evolutionary algorithm</translation>
    </message>
    <message>
        <source>山登り法</source>
        <translation>hill climbing</translation>
    </message>
    <message>
        <source>方法: %1</source>
        <translation>Method: %1</translation>
    </message>
    <message>
        <source>5 つの選択を標準のアルゴリズム (2進、ルーレット、エリートなし、一点交差、ビット反転) に戻します</source>
        <translation>Puts the five choices back to the classic algorithm (binary, roulette, no elitism, one-point crossover, bit flip)</translation>
    </message>
</context>
<context>
    <name>kelvora::ui::ReplayController</name>
    <message>
        <source>run.json の記録どおり: シード %1、交差率 %2、突然変異の確率 %3</source>
        <translation>As recorded in run.json: seed %1, crossover rate %2, mutation probability %3</translation>
    </message>
    <message>
        <source>第 %1 世代で中止された計算です</source>
        <translation>The run was stopped at generation %1</translation>
    </message>
    <message>
        <source>計算中の問題: %1</source>
        <translation>Problem during the run: %1</translation>
    </message>
    <message>
        <source>run.json がありません: 交差率、突然変異の確率と遺伝的操作は入力欄のままです</source>
        <translation>No run.json: the crossover rate, mutation probability and operators are left as entered</translation>
    </message>
    <message>
        <source>run.json を読めません (%1): 交差率、突然変異の確率と遺伝的操作は入力欄のままです</source>
        <translation>run.json cannot be read (%1): the crossover rate, mutation probability and operators are left as entered</translation>
    </message>
    <message>
        <source>このファイルは fitness.csv です: 世代ごとの最良と平均の適応度だけで、集団も腕もありません</source>
        <translation>This file is a fitness.csv: only each generation&apos;s best and average fitness, no population and no arms</translation>
    </message>
    <message>
        <source>%1 × %2</source>
        <translation>%1 × %2</translation>
    </message>
    <message>
        <source>%1 世代</source>
        <translation>%1 generations</translation>
    </message>
    <message>
        <source>run.json はこのファイルの記録ではありません (大きさ、SHA-256、集団サイズか世代数が違います): 交差率、突然変異の確率と遺伝的操作は入力欄のままです</source>
        <translation>run.json does not describe this file (its size, SHA-256, population or generations differ): the crossover rate, mutation probability and operators are left as entered</translation>
    </message>
</context>
<context>
    <name>kelvora::ui::ResponsePanel</name>
    <message>
        <source>横軸のパラメータ</source>
        <translation>Parameter on the x axis</translation>
    </message>
    <message>
        <source>このパラメータだけが違う構成を 2 つ以上加えて実行すると、その値に対する曲線が描かれます。</source>
        <translation>Add and run two configurations or more that differ in this parameter alone to draw the curve over its values.</translation>
    </message>
</context>
<context>
    <name>kelvora::ui::RunController</name>
    <message>
        <source>計算を始められません。開いているファイルの数が上限に達しています (%1)。ほかのファイルやプログラムを閉じるか、上限 (ulimit -n) を上げてください。</source>
        <translation>The computation cannot start: the number of open files has reached its limit (%1). Close other files or programs, or raise the limit (ulimit -n).</translation>
    </message>
    <message>
        <source>計算を始められません。計算に使うメモリを確保できませんでした。</source>
        <translation>The computation cannot start: there is not enough memory for it.</translation>
    </message>
</context>
<context>
    <name>kelvora::ui::StatisticsPanel</name>
    <message>
        <source>大きい</source>
        <translation>large</translation>
    </message>
    <message>
        <source>中程度の</source>
        <translation>medium</translation>
    </message>
    <message>
        <source>小さい</source>
        <translation>small</translation>
    </message>
    <message>
        <source>無視できる</source>
        <translation>negligible</translation>
    </message>
    <message>
        <source>平均順位と臨界差 (Friedman χ² = %1, p = %2, 目標点 %3 個, α = %4)</source>
        <translation>Mean ranks and the critical difference (Friedman χ² = %1, p = %2, %3 targets, α = %4)</translation>
    </message>
    <message>
        <source>臨界差 %1</source>
        <translation>Critical difference %1</translation>
    </message>
    <message>
        <source>%1 は %2 より成功が多い (%3 対 %4, Holm 補正後 p %5)、%6効果</source>
        <translation>%1 succeeds more often than %2 (%3 against %4, p %5 after Holm), a %6 effect</translation>
    </message>
    <message>
        <source>%1 は %2 より成功が少ない (%3 対 %4, Holm 補正後 p %5)、%6効果</source>
        <translation>%1 succeeds less often than %2 (%3 against %4, p %5 after Holm), a %6 effect</translation>
    </message>
    <message>
        <source>%1 は %2 より目標点に近く終わる (A12 = %3, Holm 補正後 p %4)、%5効果</source>
        <translation>%1 ends closer to the target than %2 (A12 = %3, p %4 after Holm), a %5 effect</translation>
    </message>
    <message>
        <source>%1 は %2 より目標点から遠く終わる (A12 = %3, Holm 補正後 p %4)、%5効果</source>
        <translation>%1 ends farther from the target than %2 (A12 = %3, p %4 after Holm), a %5 effect</translation>
    </message>
    <message>
        <source>%1 と %2 の差の証拠なし (%3 シード × 目標点 %4 個)</source>
        <translation>no evidence of a difference between %1 and %2 at %3 seeds on %4 targets</translation>
    </message>
    <message>
        <source>%1 と %2 の差の証拠なし (%3 シード)</source>
        <translation>no evidence of a difference between %1 and %2 at %3 seeds</translation>
    </message>
    <message>
        <source>基準</source>
        <translation>Baseline</translation>
    </message>
    <message>
        <source>構成 a</source>
        <translation>a</translation>
    </message>
    <message>
        <source>構成 b</source>
        <translation>b</translation>
    </message>
    <message>
        <source>ε 以内</source>
        <translation>Within ε</translation>
    </message>
    <message>
        <source>Fisher p</source>
        <translation>Fisher p</translation>
    </message>
    <message>
        <source>比べる構成 (判定の文の主語)</source>
        <translation>Configuration a, the one compared (the subject of the verdict)</translation>
    </message>
    <message>
        <source>比べられる構成 (基準を選べば基準)</source>
        <translation>Configuration b, the one compared with (the baseline when one is chosen)</translation>
    </message>
    <message>
        <source>Holm</source>
        <translation>Holm</translation>
    </message>
    <message>
        <source>左の列の p を表の組の数で Holm 補正した値 (太字: α = 0.05 未満)</source>
        <translation>The p to its left adjusted by Holm over the pairs of the table (bold: below α = 0.05)</translation>
    </message>
    <message>
        <source>ε 以内に達した実行の数 (a : b)</source>
        <translation>Runs that came within ε (a : b)</translation>
    </message>
    <message>
        <source>ε 以内の数の Fisher の正確検定の p (補正前)</source>
        <translation>Fisher&apos;s exact test of the runs within ε, p before adjustment</translation>
    </message>
    <message>
        <source>最終誤差の U 検定の p (補正前)</source>
        <translation>The U test of the final distances, p before adjustment</translation>
    </message>
    <message>
        <source>a の実行が b の実行より目標点に近く終わる確率 (0.5: 差なし)</source>
        <translation>The probability that a run of a ends nearer the target than a run of b (0.5: no difference)</translation>
    </message>
    <message>
        <source>U 検定 p</source>
        <translation>U test p</translation>
    </message>
    <message>
        <source>A12</source>
        <translation>A12</translation>
    </message>
    <message>
        <source>すべての組</source>
        <translation>All pairs</translation>
    </message>
    <message>
        <source>比べるには 2 つ以上の構成の実行が要ります。</source>
        <translation>Comparing needs the runs of two configurations or more.</translation>
    </message>
    <message numerus="yes">
        <source>p 値は表の %n 組に対して Holm で補正 (検定ごとに)。太字: α = 0.05 未満。</source>
        <translation>
            <numerusform>p-values adjusted by Holm over the %n pair of the table (each test on its own). Bold: below α = 0.05.</numerusform>
            <numerusform>p-values adjusted by Holm over the %n pairs of the table (each test on its own). Bold: below α = 0.05.</numerusform>
        </translation>
    </message>
    <message>
        <source>個体数</source>
        <translation>Population</translation>
    </message>
    <message>
        <source>世代数</source>
        <translation>Generations</translation>
    </message>
    <message>
        <source>交叉率</source>
        <translation>Crossover rate</translation>
    </message>
    <message>
        <source>トーナメントの大きさ</source>
        <translation>Tournament size</translation>
    </message>
    <message>
        <source>エリート数</source>
        <translation>Elite count</translation>
    </message>
    <message>
        <source>クリープ幅</source>
        <translation>Creep step</translation>
    </message>
    <message>
        <source>割合</source>
        <translation>Fraction</translation>
    </message>
    <message>
        <source>誤差 (px)</source>
        <translation>Error (px)</translation>
    </message>
    <message>
        <source>%1: 95% 信頼帯</source>
        <translation>%1: 95% band</translation>
    </message>
    <message>
        <source>%1: 四分位範囲</source>
        <translation>%1: interquartile range</translation>
    </message>
    <message>
        <source>%1 に対する ε 以内の割合と最終誤差の中央値</source>
        <translation>Runs within ε and the median final error against %1</translation>
    </message>
    <message>
        <source>%1 (誤差)</source>
        <translation>%1 (error)</translation>
    </message>
    <message>
        <source>突然変異の確率</source>
        <translation>Mutation probability</translation>
    </message>
</context>
<context>
    <name>kelvora::ui::Workbench</name>
    <message>
        <source>レイアウトを元に戻す(&amp;R)</source>
        <translation>&amp;Reset Layout</translation>
    </message>
    <message>
        <source>シード(&amp;S):</source>
        <translation>&amp;Seed:</translation>
    </message>
    <message>
        <source>自動</source>
        <translation>auto</translation>
    </message>
    <message>
        <source>空欄か「自動」: 計算のたびに時計から新しいシードを引きます。
0 から 4294967295 までの整数: 計算はそのシードを使い、kelvora-cli --seed と同じ結果になります。</source>
        <translation>Empty or &quot;auto&quot;: each Compute draws a fresh seed from the clock.
A whole number from 0 to 4294967295: Compute uses that seed, with the same results as kelvora-cli --seed.</translation>
    </message>
    <message>
        <source>前回のシードを使う</source>
        <translation>Use last seed</translation>
    </message>
    <message>
        <source>最良の腕の三つの関節の角度 (遺伝子 0〜255) と、目標点に最も近い腕 (最適解) の角度。
関節が三つで目標点の座標は二つなので、同じ点に届く腕は一つではありません (ヘルプの「冗長性」)。</source>
        <translation>The best arm&apos;s three joint angles (genes 0-255) and those of the arm closest to the target (the optimum).
Three joints for a target&apos;s two coordinates: more than one arm reaches the same point (see &quot;Redundancy&quot; in the help).</translation>
    </message>
    <message>
        <source>シードには 0 から 4294967295 までの整数を入力するか、空欄にしてください。</source>
        <translation>Enter a whole number from 0 to 4294967295 as the seed, or leave it empty.</translation>
    </message>
    <message>
        <source>シード %1 を欄に入れ、次の計算で同じ実行を繰り返します</source>
        <translation>Puts seed %1 in the field: the next Compute repeats the run</translation>
    </message>
    <message>
        <source>自動 (前回 %1)</source>
        <translation>auto (last %1)</translation>
    </message>
    <message>
        <source>最良の腕 (%1, %2, %3)&#x3000;最適解 (%4, %5, %6)</source>
        <translation>Best arm (%1, %2, %3)   optimum (%4, %5, %6)</translation>
    </message>
</context>
</TS>
